// Single-bar candlestick patterns on hand-made bars that meet each shape and
// on near misses, exact edges included; LongLine and ShortLine against a plain
// reference over a random tape; and the construction every pattern kind shares.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "factory/registry.h"
#include "support/bar_tape.h"
#include "support/pattern_cases.h"

namespace vsci {

// The rows of the candlestick families.
std::span<const KindEntry> candlestick_single_kinds();
std::span<const KindEntry> candlestick_multi_kinds();
std::span<const KindEntry> td_bar_pattern_kinds();

namespace {

using namespace vsci::testing;

TEST(CandlestickSingle, ShapesAndNearMisses) {
  const std::vector<Ohlc> ones(5, Ohlc{0, 1, 0, 1}), fours(5, Ohlc{0, 4, 0, 4}), flats(5, Ohlc{2, 2, 2, 2});
  expect_pattern_cases({
      {"Doji", {}, {{{5, 10, 0, 6}, 1}, {{5, 10, 0, 6.5}, 0}}},  // a body of exactly 0.1 of the range counts
      {"DragonflyDoji", {}, {{{9, 10, 0, 10}, 1}, {{7, 10, 0, 8}, 0}}},
      {"GravestoneDoji", {}, {{{1, 10, 0, 0}, -1}, {{2, 10, 0, 3}, 0}}},
      {"LongLeggedDoji", {}, {{{5, 10, 0, 5}, 1}, {{7.5, 10, 0, 7.5}, 0}}},
      {"RickshawMan", {}, {{{6, 10, 0, 6}, 1}, {{6.5, 10, 0, 6.5}, 0}}},
      {"HighWave", {}, {{{5, 10, 0, 6}, 1}, {{4, 10, 0, 6.5}, 0}}},
      {"Takuri", {}, {{{9, 10, 0, 9.5}, 1}, {{8.5, 10, 0, 9.25}, 0}}},
      // A lower shadow of exactly twice the body counts; no body, no hammer.
      {"Hammer", {}, {{{2, 3, 0, 3}, 1}, {{8, 10, 0, 10}, 1}, {{8, 12.5, 0, 10}, 0}, {{5, 10, 0, 5}, 0}}},
      {"HangingMan", {}, {{{2, 3, 0, 3}, -1}}},
      {"InvertedHammer", {}, {{{0, 10, 0, 2}, 1}, {{3, 10, 0, 5}, 0}}},
      {"ShootingStar", {}, {{{0, 10, 0, 2}, -1}}},
      {"Marubozu", {}, {{{0.5, 10, 0, 9.5}, 1}, {{10, 10, 0, 0}, -1}, {{1, 10, 0, 10}, 0}}},
      {"ClosingMarubozu", {}, {{{3, 10, 0, 10}, 1}, {{7, 10, 0, 0}, -1}, {{3, 10, 0, 9.5}, 0}}},
      {"OpeningMarubozu", {}, {{{0, 10, 0, 8}, 1}, {{10, 10, 0, 2}, -1}, {{1, 10, 0, 9}, 0}}},
      {"BeltHold", {}, {{{0, 10, 0, 5}, 1}, {{10, 10, 0, 5}, -1}, {{0, 10, 0, 4.5}, 0}}},
      {"SmallBodyTwoShadows", {}, {{{4, 10, 0, 6}, 1}, {{4.5, 10, 0, 5.5}, 1}, {{6, 10, 0, 4}, -1}}},
      {"SmallBodyTwoShadows", {}, {{{4, 10, 0, 7}, 0}, {{5, 10, 0, 5}, 0}}},
      {"LongLine", ones, {{{0, 2, 0, 1.5}, 1}, {{0, 1, 0, 1}, 0}}},
      // A flat bar is below a positive mean range, and a zero body is not bullish.
      {"ShortLine", ones, {{{2, 2, 2, 2}, -1}}},
      {"ShortLine", fours, {{{1, 2, 0, 2}, 1}}},
      {"ShortLine", flats, {{{2, 2, 2, 2}, 0}}},
  });
  // A flat bar is no shape at all.
  const Candle flat{0, 5, 5, 5, 5, 0};
  for (const KindEntry& e : candlestick_single_kinds()) {
    auto ind = build_ok(std::string(e.name), {});
    if (ind->warmup() == 1) {
      EXPECT_EQ(ind->update(BarContext(flat)), 0.0) << e.name;
    }
  }
}

TEST(CandlestickSingle, RangeLinesAgainstTheMeanOfTheFiveRangesBefore) {
  BarTape tape = make_tape(600, 5);
  for (std::size_t i = 40; i < tape.size(); i += 37) tape.candles[i].volume = kNaN;  // skipped bars
  for (const bool is_long : {true, false}) {
    auto ind = build_ok(is_long ? "LongLine" : "ShortLine", {});
    std::deque<double> ranges;
    for (std::size_t i = 0; i < tape.size(); ++i) {
      const Candle& c = tape.candles[i];
      const auto got = ind->update(tape.context(i));
      std::optional<double> want;
      if (!std::isnan(c.volume)) {
        const double r = c.high - c.low;
        if (ranges.size() == 5) {
          const double mean = (ranges[0] + ranges[1] + ranges[2] + ranges[3] + ranges[4]) / 5.0;
          const bool qualifies = (is_long ? r > mean : r < mean) && std::fabs(c.close - c.open) >= 0.5 * r;
          want = qualifies ? (c.close > c.open ? 1.0 : -1.0) : 0.0;
          ranges.pop_front();
        }
        ranges.push_back(r);
      }
      ASSERT_TRUE(same_bits(got, want)) << "bar " << i << ": " << show(got) << ", want " << show(want);
    }
  }
}

TEST(CandlestickPatterns, AnyParameterListBuildsTheSameKind) {
  for (auto family : {candlestick_single_kinds, candlestick_multi_kinds, td_bar_pattern_kinds}) {
    for (const KindEntry& e : family()) {
      const std::string kind(e.name);
      const std::uint64_t warmup = build_ok(kind, {})->warmup();
      for (const std::vector<double>& params : {std::vector<double>{14}, {-1, 2.5}, {kNaN, kInf}}) {
        EXPECT_EQ(build_ok(kind, params)->warmup(), warmup) << kind;
      }
    }
  }
  const std::pair<const char*, std::uint64_t> spans[] = {{"LongLine", 5},        {"Counterattack", 2}, {"Doji", 1},
                                                         {"MorningDojiStar", 3}, {"HikkakeModified", 4},
                                                         {"MatHold", 5},         {"TdTrap", 3}};
  for (const auto& [kind, warmup] : spans) EXPECT_EQ(build_ok(kind, {})->warmup(), warmup) << kind;
}

}  // namespace
}  // namespace vsci
