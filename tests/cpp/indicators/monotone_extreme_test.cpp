// The monotone extreme cores (one side, and a high side with a low side)
// against a plain scan of the window written here, for each side and tie
// rule, at scanned and queued window lengths, over a
// tape of ties, flat stretches, signed zeros, infinities and NaN: the value's
// bits, its position, emptiness and the scan from a given start, every push.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "indicators/cores/monotone_extreme.h"
#include "support/compare.h"
#include "util/math_constants.h"

namespace vsci {
namespace {

using testing::identical_bits;
using testing::kNaN;

// Flat stretches of one value (±0 alternating, or a level), then runs drawn
// from a few levels with ±0 among them, a rare NaN or infinity, then a long
// rise and a long fall (queues as long as the window).
std::vector<double> extreme_tape() {
  std::mt19937_64 rng(33);
  std::uniform_int_distribution<int> pick(0, 99);
  std::vector<double> xs;
  for (int block = 0; block < 3; ++block) {
    for (int i = 0; i < 150; ++i) xs.push_back(block % 2 ? (i % 2 ? -0.0 : 0.0) : 1.5);
    for (int i = 0; i < 400; ++i) {
      const int p = pick(rng);
      xs.push_back(p < 2 ? kNaN : p < 3 ? (p % 2 ? kInf : -kInf) : p < 30 ? (p % 2 ? 0.0 : -0.0) : (p % 7) - 3.0);
    }
    for (int i = 0; i < 2100; ++i) xs.push_back(block % 2 ? i * 0.25 : -i * 0.25);
  }
  return xs;
}

struct Found {
  double value;
  std::size_t age;
};

// The starts each push's scans are also run from.
constexpr std::size_t kStarts = 5;

// What scans of xs[from, to) find: the first from the first comparable value,
// the others from each of `starts`, each by the rule's replacement.
template <ExtremeSide Side, ExtremeTie Tie>
std::vector<std::optional<Found>> scan(const std::vector<double>& xs, std::size_t from, std::size_t to,
                                       const std::array<double, kStarts>& starts) {
  std::vector<std::optional<Found>> best(1);
  for (double s : starts) best.push_back(Found{s, to});
  for (std::size_t i = from; i < to; ++i) {
    const double v = xs[i];
    for (std::optional<Found>& b : best) {
      if (!b) {
        if (!std::isnan(v)) b = Found{v, to - 1 - i};
        continue;
      }
      const double m = b->value;
      const bool beyond = Side == ExtremeSide::Largest ? v > m : v < m;
      if (beyond || (Tie == ExtremeTie::Newest && v == m)) b = Found{v, to - 1 - i};
    }
  }
  return best;
}

// Scanned and queued lengths, on both sides of the switch between them.
constexpr std::array<std::size_t, 7> kWindows{1, 2, 14, kScannedWindow, kScannedWindow + 1, 200, 2000};

template <ExtremeSide Side, ExtremeTie Tie>
void expect_scan_results(const std::vector<double>& xs) {
  SCOPED_TRACE(::testing::Message() << "side " << int(Side) << " tie " << int(Tie));
  for (std::size_t window : kWindows) {
    MonotoneExtreme<Side, Tie> core(window);
    for (std::size_t t = 0; t < xs.size(); ++t) {
      core.push(xs[t]);
      const std::size_t from = t + 1 > window ? t + 1 - window : 0;
      const std::array<double, kStarts> starts{-kInf, kInf, kNaN, xs[t], xs[from]};
      const auto want = scan<Side, Tie>(xs, from, t + 1, starts);
      const WindowExtreme got = core.extreme();
      ASSERT_EQ(got.found, want[0].has_value()) << "window " << window << " push " << t;
      if (want[0]) {
        ASSERT_TRUE(identical_bits(got.value, want[0]->value)) << "window " << window << " push " << t;
        ASSERT_EQ(got.age, want[0]->age) << "window " << window << " push " << t;
      }
      for (std::size_t k = 0; k < kStarts; ++k) {
        ASSERT_TRUE(identical_bits(core.fold_from(starts[k]), want[k + 1]->value))
            << "window " << window << " push " << t << " start " << starts[k];
      }
    }
  }
}

TEST(MonotoneExtreme, EveryPushMatchesAScanOfTheWindowForEachSideAndTieRule) {
  const std::vector<double> xs = extreme_tape();
  expect_scan_results<ExtremeSide::Largest, ExtremeTie::Oldest>(xs);
  expect_scan_results<ExtremeSide::Smallest, ExtremeTie::Oldest>(xs);
  expect_scan_results<ExtremeSide::Largest, ExtremeTie::Newest>(xs);
  expect_scan_results<ExtremeSide::Smallest, ExtremeTie::Newest>(xs);
}

// The pair core against the same scans of each side: highs from the tape,
// lows from the tape read backwards.
template <ExtremeTie HighTie, ExtremeTie LowTie>
void expect_range_scan_results(const std::vector<double>& highs) {
  SCOPED_TRACE(::testing::Message() << "ties " << int(HighTie) << " " << int(LowTie));
  const std::vector<double> lows(highs.rbegin(), highs.rend());
  for (std::size_t window : kWindows) {
    MonotoneRange<HighTie, LowTie> core(window);
    for (std::size_t t = 0; t < highs.size(); ++t) {
      core.push(highs[t], lows[t]);
      const std::size_t from = t + 1 > window ? t + 1 - window : 0;
      const std::array<double, kStarts> starts{-kInf, kInf, kNaN, highs[t], lows[from]};
      const auto high = scan<ExtremeSide::Largest, HighTie>(highs, from, t + 1, starts);
      const auto low = scan<ExtremeSide::Smallest, LowTie>(lows, from, t + 1, starts);
      if (high[0] && low[0]) {
        const auto values = core.values();
        const auto ages = core.ages();
        ASSERT_TRUE(identical_bits(values.largest, high[0]->value) && identical_bits(values.smallest, low[0]->value))
            << "window " << window << " push " << t;
        ASSERT_TRUE(ages.largest == high[0]->age && ages.smallest == low[0]->age) << "window " << window << " push " << t;
      }
      for (std::size_t k = 0; k < kStarts; ++k) {
        const auto folded = core.fold_from(starts[k], starts[k]);
        ASSERT_TRUE(identical_bits(folded.largest, high[k + 1]->value) && identical_bits(folded.smallest, low[k + 1]->value))
            << "window " << window << " push " << t << " start " << starts[k];
      }
    }
  }
}

TEST(MonotoneRange, EveryPushMatchesScansOfBothSidesForEachTieRule) {
  const std::vector<double> xs = extreme_tape();
  expect_range_scan_results<ExtremeTie::Oldest, ExtremeTie::Oldest>(xs);
  expect_range_scan_results<ExtremeTie::Newest, ExtremeTie::Newest>(xs);
  expect_range_scan_results<ExtremeTie::Newest, ExtremeTie::Oldest>(xs);
}

TEST(MonotoneExtreme, TiesOfSignedZerosKeepTheRuleSBits) {
  // +0 then -0: the oldest is +0, the newest -0, at ages 1 and 0.
  OldestLargest oldest(3);
  NewestLargest newest(3);
  for (double z : {0.0, -0.0}) oldest.push(z), newest.push(z);
  EXPECT_TRUE(identical_bits(oldest.extreme().value, 0.0));
  EXPECT_EQ(oldest.extreme().age, 1u);
  EXPECT_TRUE(identical_bits(newest.extreme().value, -0.0));
  EXPECT_EQ(newest.extreme().age, 0u);
  // A window of only NaN holds no extreme; a scan from a start keeps it.
  OldestSmallest lows(2);
  lows.push(kNaN);
  EXPECT_FALSE(lows.extreme().found);
  EXPECT_EQ(lows.fold_from(7.0), 7.0);
}

}  // namespace
}  // namespace vsci
