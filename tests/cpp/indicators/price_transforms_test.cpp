// Price transforms and bar measures against their formulas over a random
// candle tape, Heikin-Ashi's chained candle, the zero-denominator fallbacks,
// and the candle checks every candle-fed kind shares.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "indicators/indicator.h"
#include "support/bar_tape.h"
#include "support/compare.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

using BarFormula = std::function<double(const Candle& c, const Candle* prev)>;

double ratio_or_zero(double num, double den) { return den == 0.0 ? 0.0 : num / den; }

TEST(PriceTransforms, MatchTheirFormulasBarByBar) {
  const std::vector<std::pair<std::string, BarFormula>> table = {
      {"TypicalPrice", [](const Candle& c, const Candle*) { return (c.high + c.low + c.close) / 3.0; }},
      {"WeightedClose", [](const Candle& c, const Candle*) { return (c.high + c.low + 2.0 * c.close) / 4.0; }},
      {"MedianPrice", [](const Candle& c, const Candle*) { return (c.high + c.low) / 2.0; }},
      {"AvgPrice", [](const Candle& c, const Candle*) { return (c.open + c.high + c.low + c.close) / 4.0; }},
      {"HighLowRange", [](const Candle& c, const Candle*) { return ratio_or_zero(c.high - c.low, c.close); }},
      {"CloseVsOpen", [](const Candle& c, const Candle*) { return ratio_or_zero(c.close - c.open, c.open); }},
      {"BodySizePct",
       [](const Candle& c, const Candle*) { return ratio_or_zero(std::fabs(c.close - c.open), c.high - c.low); }},
      {"BalanceOfPower", [](const Candle& c, const Candle*) { return ratio_or_zero(c.close - c.open, c.high - c.low); }},
      {"ShadowRatio",
       [](const Candle& c, const Candle*) {
         const double top = std::max(c.open, c.close), bottom = std::min(c.open, c.close);
         return ratio_or_zero((c.high - top) - (bottom - c.low), c.high - c.low);
       }},
      {"TrueRange",
       [](const Candle& c, const Candle* prev) {
         if (prev == nullptr) return c.high - c.low;
         return std::max({c.high - c.low, std::fabs(c.high - prev->close), std::fabs(c.low - prev->close)});
       }},
  };
  BarTape tape = make_tape(800, 21);
  // Flat bars, zero opens and closes: the fallbacks.
  tape.candles[10] = {0, 7.25, 7.25, 7.25, 7.25, 0.0};
  tape.candles[11] = {0, 0.0, 2.0, 0.0, 1.0, 5.0};
  tape.candles[12] = {0, 1.0, 2.0, 0.0, 0.0, 5.0};
  for (const auto& [kind, formula] : table) {
    SCOPED_TRACE(kind);
    auto ind = build_ok(kind, {});
    const Candle* prev = nullptr;
    for (std::size_t i = 0; i < tape.size(); ++i) {
      const auto got = ind->update(tape.context(i));
      ASSERT_TRUE(got.has_value());
      ASSERT_TRUE(close_enough(*got, formula(tape.candles[i], prev), 1e-15)) << "bar " << i << ": " << *got;
      prev = &tape.candles[i];
    }
  }
}

TEST(PriceTransforms, FallbacksAndEdgeBars) {
  const auto one = [](const std::string& kind, Candle c) { return *build_ok(kind, {})->update(BarContext(c)); };
  const Candle flat{0, 7.25, 7.25, 7.25, 7.25, 0.0};
  for (const char* kind : {"TypicalPrice", "WeightedClose", "MedianPrice", "AvgPrice"}) EXPECT_EQ(one(kind, flat), 7.25);
  for (const char* kind : {"HighLowRange", "BodySizePct", "BalanceOfPower", "ShadowRatio", "CloseVsOpen"}) {
    EXPECT_EQ(one(kind, flat), 0.0) << kind;
  }
  EXPECT_EQ(one("CloseVsOpen", {0, 0.0, 3.0, 0.0, 2.0, 1.0}), 0.0);
  EXPECT_EQ(one("HighLowRange", {0, 1.0, 3.0, 0.0, 0.0, 1.0}), 0.0);
  EXPECT_EQ(one("ShadowRatio", {0, 10.0, 12.0, 10.0, 12.0, 1.0}), 0.0);
  EXPECT_EQ(one("ShadowRatio", {0, 10.0, 12.0, 10.0, 10.0, 1.0}), 1.0);
  EXPECT_EQ(one("ShadowRatio", {0, 12.0, 12.0, 10.0, 12.0, 1.0}), -1.0);
  EXPECT_EQ(one("BodySizePct", {0, 10.5, 12.0, 10.0, 11.5, 1.0}), 0.5);
  // Near overflow the midpoint halves first instead of overflowing.
  EXPECT_EQ(one("MedianPrice", {0, 1.5e308, 1.7e308, 1.5e308, 1.6e308, 0.0}), 1.7e308 * 0.5 + 1.5e308 * 0.5);
  EXPECT_EQ(safe_midpoint(8.988465674311579e307, 8.988465674311579e307), 8.988465674311579e307);
  EXPECT_EQ(safe_midpoint(-1.7e308, 1.7e308), 0.0);

  auto tr = build_ok("TrueRange", {});
  tr->update(BarContext(Candle{0, 100.0, 100.0, 100.0, 100.0, 0.0}));
  EXPECT_EQ(*tr->update(BarContext(Candle{0, 106.0, 110.0, 105.0, 107.0, 0.0})), 10.0);
}

TEST(PriceTransforms, HeikinAshiChainsItsOwnCandle) {
  auto ha = build_ok("HeikinAshi", {});
  EXPECT_TRUE(ha->outputs().empty());
  const BarTape tape = make_tape(400, 8);
  double prev_open = 0.0, prev_close = 0.0;
  for (std::size_t i = 0; i < tape.size(); ++i) {
    const Candle& c = tape.candles[i];
    const double open = i == 0 ? (c.open + c.close) / 2.0 : (prev_open + prev_close) / 2.0;
    const double close = (c.open + c.high + c.low + c.close) / 4.0;
    const double want[] = {open, std::max({c.high, open, close}), std::min({c.low, open, close}), close};
    ASSERT_EQ(ha->update(tape.context(i)), open) << "bar " << i;
    const auto out = ha->outputs();
    ASSERT_EQ(out.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(out[k].value, want[k]) << out[k].name << " bar " << i;
    prev_open = open;
    prev_close = close;
  }
  auto first = build_ok("HeikinAshi", {});
  EXPECT_EQ(first->update(BarContext(Candle{0, 10.0, 12.0, 9.0, 11.0, 0.0})), 10.5);
  const auto out = first->outputs();
  EXPECT_EQ(out[0].name, "open");
  EXPECT_EQ(out[3].name, "close");
  EXPECT_EQ(out[1].value, 12.0);
  EXPECT_EQ(out[2].value, 9.0);
  EXPECT_EQ(out[3].value, 10.5);
}

TEST(CandleChecks, SixChecksInOrder) {
  const double nan = kNaN, inf = kInf;
  struct Case {
    Candle c;
    const char* text;  // "" for a valid candle
  };
  const Case cases[] = {
      {{0, 1, 1, 1, 1, 0}, ""},
      {{0, 1, 1, 1, 1, -0.0}, ""},
      {{-5, 2, 3, 1, 3, 1}, ""},
      {{0, 1, 1, 0.5, 1, 1}, ""},
      {{0, 1, nan, 1, 1, -1}, "open, high, low, close must all be finite"},
      {{0, -inf, 1, 1, 1, 0}, "open, high, low, close must all be finite"},
      {{0, 1, 1, 1, inf, 0}, "open, high, low, close must all be finite"},
      {{0, 1, 1, 1, 1, inf}, "volume must be finite"},
      {{0, 1, 1, 1, 1, nan}, "volume must be finite"},
      {{0, 1, 1, 1, 1, -std::numeric_limits<double>::denorm_min()}, "volume must be non-negative"},
      {{0, 1, 0.5, 2, 3, 1}, "high must be >= low"},
      {{0, 2, 1, 0.5, 1, 1}, "high must be >= open and >= close"},
      {{0, 1, 2, 0.5, 3, 1}, "high must be >= open and >= close"},
      {{0, 1, 2, 1.5, 2, 1}, "low must be <= open and <= close"},
      {{0, 1.5, 2, 1.5, 1, 1}, "low must be <= open and <= close"},
  };
  for (const Case& k : cases) EXPECT_EQ(candle_fault(k.c), k.text);
}

}  // namespace
}  // namespace vsci
