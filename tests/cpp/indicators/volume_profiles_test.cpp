// Volume-profile kinds against a bin-by-bin profile written from its
// definition, bin widths that underflow or overflow, naked levels over a
// million trending bars, and the constructor checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "support/candle_run.h"
#include "support/compare.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

struct Profile {
  double lo = 0.0, width = 0.0;
  std::vector<double> volume;
  std::vector<int> covers;
  std::size_t poc = 0;
};

// False when the candles' range is 0 or less (lo is set either way).
bool profile(const Candles& w, std::size_t bins, Profile& p) {
  double hi = -kInf;
  p.lo = kInf;
  for (const Candle& c : w) hi = std::max(hi, c.high), p.lo = std::min(p.lo, c.low);
  p.poc = 0;
  if (!(hi - p.lo > 0)) return false;
  p.width = (hi - p.lo) / static_cast<double>(bins);
  p.volume.assign(bins, 0.0);
  p.covers.assign(bins, 0);
  const auto bin = [&](double x) { return std::min(std::floor((x - p.lo) / p.width), bins - 1.0); };
  for (const Candle& c : w) {
    const double a = bin(c.low), b = bin(c.high);
    for (auto k = static_cast<std::size_t>(a); k <= static_cast<std::size_t>(b); ++k) {
      ++p.covers[k];
      if (c.volume != 0.0) p.volume[k] += c.volume / (b - a + 1.0);
    }
  }
  for (std::size_t k = 1; k < bins; ++k)
    if (p.volume[k] > p.volume[p.poc]) p.poc = k;
  return true;
}

// The three kinds over one tape, bar by bar.
std::map<std::string, Series> references(const Candles& cs, std::size_t n, std::size_t bins) {
  std::map<std::string, Series> out;
  for (const char* k : {"ProfileShape", "SinglePrints", "NakedPoc"}) out[k].resize(cs.size());
  std::vector<double> levels;
  Candles block;
  for (std::size_t i = 0; i < cs.size(); ++i) {
    const Candle& c = cs[i];
    std::erase_if(levels, [&](double l) { return c.low <= l && l <= c.high; });
    Profile p;
    if (block.push_back(c); block.size() == n) {
      levels.push_back(profile(block, bins, p) ? p.lo + (p.poc + 0.5) * p.width : p.lo);
      block.clear();
    }
    if (i + 1 < n) continue;
    double best = c.close;
    for (std::size_t k = 0; k < levels.size(); ++k)
      if (k == 0 || std::fabs(levels[k] - c.close) < std::fabs(best - c.close)) best = levels[k];
    out["NakedPoc"][i] = best;
    const bool ranged = profile(Candles(cs.begin() + (i + 1 - n), cs.begin() + (i + 1)), bins, p);
    out["ProfileShape"][i] = p.poc < bins / 3 ? -1.0 : p.poc >= bins - bins / 3 ? 1.0 : 0.0;
    out["SinglePrints"][i] = ranged ? static_cast<double>(std::count(p.covers.begin(), p.covers.end(), 1)) : 0.0;
  }
  return out;
}

TEST(VolumeProfiles, MatchABinByBinProfile) {
  for (std::size_t n : {1, 3, 8}) {
    for (std::size_t bins : {3, 4, 10, 37, 100}) {
      for (const Candles& cs : candle_run_tapes()) {
        for (const auto& [kind, want] : references(cs, n, bins)) {
          const std::vector<double> params = {static_cast<double>(n), static_cast<double>(bins)};
          EXPECT_TRUE(same_series(run_candle_kind(kind, params, cs).values, want)) << kind << n << " " << bins;
        }
      }
    }
  }
}

// Ranges whose bin width underflows to 0 or overflows to infinity put every
// price in a bin (NaN quotients in bin 0) instead of converting an infinity.
TEST(VolumeProfiles, ExtremeBinWidthsStayInTheBins) {
  const Candles wide = {{0, -1.5e308, 1.5e308, -1.5e308, 1.5e308, 1}, {0, 0, 1, 0, 1, 5}};
  const Candles tiny = {{0, 0, 5e-324, 0, 5e-324, 1}, {0, 0, 0, 0, 0, 5}};
  // wide: both candles fall in bin 0, whose centre is at infinity; tiny: the
  // first candle covers every bin, all of them at 0.
  struct Case {
    Candles cs;
    double singles, level;
  };
  for (const Case& k : {Case{wide, 0.0, kInf}, Case{tiny, 16777215.0, 0.0}}) {
    EXPECT_EQ(run_candle_kind("ProfileShape", {2, 3}, k.cs).values[1], -1.0);
    EXPECT_EQ(run_candle_kind("SinglePrints", {2, 16777216}, k.cs).values[1], k.singles);
    EXPECT_EQ(run_candle_kind("NakedPoc", {2, 16777216}, k.cs).values[1], k.level);
  }
}

// Two blocks leave 11 and 7; a close at 9 is as near to both and takes the older.
TEST(VolumeProfiles, NakedPocTakesTheOlderOfEquallyNearLevels) {
  const Candles cs = {{0, 11, 12, 10, 11, 1}, {0, 11, 12, 10, 11, 1}, {0, 7, 8, 6, 7, 1}, {0, 7, 8, 6, 7, 1},
                      {0, 9, 9.1, 8.9, 9, 1}};
  EXPECT_TRUE(same_series(run_candle_kind("NakedPoc", {2, 1}, cs).values, {{}, 11.0, 11.0, 7.0, 11.0}));
}

// Every block of a steady trend leaves a level no later bar reaches; the
// nearest stays the newest, found without scanning the others.
TEST(VolumeProfiles, NakedPocOverAMillionTrendingBars) {
  for (double dir : {1.0, -1.0}) {
    auto poc = build_ok("NakedPoc", {5, 10});
    for (std::int64_t i = 0; i < 1'000'000; ++i) {
      const double a = dir * static_cast<double>(i), b = dir * static_cast<double>(i + 1);
      const auto got = poc->update(BarContext(Candle{i, a, std::max(a, b), std::min(a, b), b, 1.0}));
      if (i < 4) continue;
      // The 5-bar block from i0 has its point of control in bin 8 of 10.
      const double i0 = static_cast<double>((i + 1) / 5 * 5 - 5);
      const double want = dir > 0 ? i0 + 4.25 : -i0 - 0.75;
      ASSERT_EQ(got, want) << "bar " << i;
    }
  }
}

TEST(VolumeProfiles, ConstructorChecksInOrder) {
  const std::string bins_text = "invalid period: profile shape needs bins >= 3";
  std::vector<BuildCase> cases = {
      {"ProfileShape", {kZeroCount, 2}, kPeriodZeroText}, {"ProfileShape", {16777217, 2}, kMaxPeriodText},
      {"ProfileShape", {5, 2}, bins_text},                {"ProfileShape", {5, kZeroCount}, bins_text},
      {"ProfileShape", {5, 16777217}, kMaxPeriodText},    {"ProfileShape", {16777216, 16777216}, ""},
  };
  for (const char* kind : {"SinglePrints", "NakedPoc"}) {
    cases.insert(cases.end(), {{kind, {kZeroCount, 16777217}, kPeriodZeroText},
                               {kind, {16777217, kZeroCount}, kPeriodZeroText}, {kind, {16777217, 1}, kMaxPeriodText},
                               {kind, {1, 16777217}, kMaxPeriodText}, {kind, {16777216, 16777216}, ""}});
  }
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
