// The swing tracker's confirmations, the pattern step every swing pattern
// shares (over the batch zigzag of a random tape), and the chart, harmonic
// and leg patterns on hand-built swings that meet them and on near misses.
#include <gtest/gtest.h>

#include "indicators/cores/swing_tracker.h"
#include "support/bar_tape.h"
#include "support/series.h"
#include "support/swing_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// Each swing pattern kind and the pivots it needs.
const std::pair<const char*, std::size_t> kPatterns[] = {
    {"DoubleTopBottom", 3}, {"FlagPennant", 3}, {"Triangle", 4},    {"Wedge", 4},   {"RectangleRange", 4},
    {"TwinRimPullback", 4}, {"Gartley", 5},     {"Bat", 5},         {"Crab", 5},    {"TripleTopBottom", 5},
    {"Butterfly", 5},       {"Shark", 5},       {"ExtendedLegHarmonic", 5},         {"HeadAndShoulders", 5},
    {"EqualLegsPattern", 4}, {"ThreeDrives", 7},
};

TEST(SwingTracker, ConfirmsOnAFivePercentReversal) {
  // Bars as (high, low); the kept pivots as (price, kind, bar) each.
  const std::tuple<std::size_t, std::vector<std::pair<double, double>>, std::vector<double>> cases[] = {
      {5, {{100, 100}, {100, 95}}, {100, 1, 0}},  // inclusive thresholds
      {5, {{100, 100}, {100, 95.0001}}, {}},
      {5, {{100, 100}, {101, 90}, {102, 80}}, {}},  // a new high never confirms
      {5, {{200, 200}, {150, 100}, {105, 100}}, {200, 1, 0, 100, -1, 1}},  // an equal low keeps its bar
      {2, {{100, 100}, {90, 90}, {100, 100}, {90, 90}}, {90, -1, 1, 100, 1, 2}},
      {5, {{-10, -10}, {-10, -10}}, {-10, 1, 0}},
  };
  for (const auto& [keep, bars, want] : cases) {
    SwingTracker t(keep);
    bool last = false;
    for (const auto& [h, l] : bars) last = t.update(h, l);
    std::vector<double> got;
    for (const SwingPivot& p : t.pivots()) got.insert(got.end(), {p.price, p.kind, double(p.bar)});
    EXPECT_EQ(got, want);
    EXPECT_EQ(last, !want.empty());
  }
}

TEST(SwingPatterns, SignalOnlyOnConfirmingBars) {
  const BarTape tape = make_tape(3000, 41, 20.0);
  const RefSwings ref = ref_swings(tape.candles);
  ASSERT_GT(ref.pivots.size(), 500u);
  for (const auto& [kind, needed] : kPatterns) {
    auto ind = build_ok(kind, {});
    EXPECT_EQ(ind->warmup(), needed + 1) << kind;
    for (std::size_t i = 0; i < tape.size(); ++i) {
      const auto got = ind->update(tape.context(i));
      ASSERT_EQ(got.has_value(), ref.known[i] >= needed) << kind << " bar " << i;
      const bool confirmed = i > 0 && ref.known[i] > ref.known[i - 1];
      if (got) {
        ASSERT_TRUE(*got == 0.0 || (confirmed && std::fabs(*got) == 1.0)) << kind << " bar " << i;
      }
    }
  }
}

// Each row's prices are fed as flat bars; the last bar confirms the pattern's
// last pivot and must give `want`.
struct PatternRow {
  const char* kind;
  std::vector<double> prices;
  std::optional<double> want;
};

TEST(SwingPatterns, HandBuiltSwings) {
  const PatternRow rows[] = {
      // Tops 100 and 103 are within 3 %, 100 and 103.2 not; two zeros are near.
      {"DoubleTopBottom", {100, 90, 103, 92}, -1},  {"DoubleTopBottom", {100, 90, 103.2, 92}, 0},
      {"DoubleTopBottom", {200, 90, 100, 92, 99}, 1}, {"DoubleTopBottom", {0, 0, 0, 0}, -1},
      {"TripleTopBottom", {100, 90, 102, 91, 101, 92}, -1}, {"TripleTopBottom", {100, 90, 102, 91, 106, 95}, 0},
      {"TripleTopBottom", {200, 90, 100, 92, 101, 91, 99}, 1},
      {"HeadAndShoulders", {100, 90, 110, 91, 101, 92}, -1}, {"HeadAndShoulders", {100, 90, 101, 91, 101, 92}, 0},
      {"HeadAndShoulders", {200, 90, 100, 80, 101, 91, 99}, 1},
      {"HeadAndShoulders", {200, 90, 100, 80, 105, 91, 99}, 0},
      // Ascending; lows rising exactly 3 %; descending; symmetrical (both ends); rising highs.
      {"Triangle", {200, 90, 100, 95, 100, 94}, 1}, {"Triangle", {200, 100, 110, 103, 110, 104}, 0},
      {"Triangle", {110, 90, 100, 91, 98}, -1},     {"Triangle", {200, 80, 110, 90, 100, 92}, -1},
      {"Triangle", {110, 80, 100, 90, 97}, 1},      {"Triangle", {200, 90, 100, 95, 110, 100}, 0},
      {"Wedge", {200, 80, 100, 90, 105, 95}, -1},   {"Wedge", {120, 90, 100, 85, 95}, 1},
      {"Wedge", {200, 80, 100, 90, 110, 100}, 0},
      {"RectangleRange", {200, 100, 110, 101, 111, 102}, -1}, {"RectangleRange", {200, 100, 110, 104, 111, 102}, 0},
      {"RectangleRange", {110, 100, 111, 101, 107}, 1},
      // A pullback of exactly half the pole is no flag.
      {"FlagPennant", {200, 100, 120, 112, 118}, 1}, {"FlagPennant", {200, 100, 120, 110, 118}, 0},
      {"FlagPennant", {120, 100, 108, 100}, -1},
      {"TwinRimPullback", {110, 100, 111, 105, 111}, 1}, {"TwinRimPullback", {110, 100, 111, 99, 111}, 0},
      {"TwinRimPullback", {200, 90, 100, 89, 95, 90}, -1},
      // AB/XA 0.6 and CD/BC 1.6 meet Gartley; CD/BC 1.62 does not; AB/XA 0.55 (inclusive) does, 0.549 not.
      {"Gartley", {200, 100, 120, 108, 114, 104.4, 115}, 1}, {"Gartley", {200, 100, 120, 108, 114, 104.28, 115}, 0},
      {"Gartley", {200, 100, 120, 109, 116, 105, 115}, 1},   {"Gartley", {200, 100, 120, 109.02, 116, 105, 115}, 0},
      {"Gartley", {0, 0, 0, 0, 0, 0}, 0},  // flat legs: NaN ratios
      {"Bat", {200, 100, 120, 111, 117, 102.5, 112}, 1},     {"Bat", {200, 100, 120, 111, 117, 101, 112}, 0},
      {"Butterfly", {100, 80, 96, 88, 107, 95}, -1},         {"Butterfly", {100, 80, 96, 88, 112, 100}, 0},
      {"Crab", {200, 100, 120, 108, 118, 88, 100}, 1},       {"Crab", {200, 100, 120, 108, 118, 86, 100}, 0},
      {"Shark", {200, 100, 120, 95, 140, 101, 110}, 1},      {"Shark", {200, 100, 120, 95, 140, 96, 110}, 0},
      {"ExtendedLegHarmonic", {200, 100, 120, 110, 127, 106, 115}, 1},
      {"ExtendedLegHarmonic", {200, 100, 120, 110, 125, 106, 115}, 0},
      {"EqualLegsPattern", {110, 100, 106, 95, 101}, 1},     {"EqualLegsPattern", {110, 100, 106, 94.8, 101}, 0},
      {"ThreeDrives", {200, 100, 110, 95, 105, 90, 100, 85, 95}, 1},
      {"ThreeDrives", {200, 100, 110, 95, 105, 90, 100, 80, 90}, 0},
      {"ThreeDrives", {110, 95, 105, 90, 100, 85, 95}, std::nullopt},  // six pivots only
  };
  for (const PatternRow& r : rows) {
    const std::vector<Candle> bars = flat_candles(r.prices);
    const RefSwings ref = ref_swings(bars);
    ASSERT_GT(ref.known.back(), ref.known[bars.size() - 2]) << r.kind << ": the last bar confirms nothing";
    auto ind = build_ok(r.kind, {});
    std::optional<double> got;
    for (const Candle& c : bars) got = ind->update(BarContext(c));
    EXPECT_EQ(got, r.want) << r.kind << " row " << (&r - rows);
  }
}

}  // namespace
}  // namespace vsci
