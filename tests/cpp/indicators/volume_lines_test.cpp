// Cumulative volume lines and per-bar ratios against batch loops written
// from their formulas, with the zero-volume, zero-range and flat stretches of
// the tapes, and the Part's edge bars.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/batch_reference.h"
#include "support/candle_series.h"
#include "support/compare.h"
#include "support/conformance.h"

namespace vsci {
namespace {

using namespace vsci::testing;

const ConformanceRows kConformance{
    {"AdOscillator"}, {"Adl"}, {"AnchoredVwap"},     {"IntradayIntensity"}, {"MarketFacilitationIndex"},
    {"Nvi"},          {"Obv"}, {"Pvi"},              {"VolumePriceTrend"},  {"Vwap"},
    {"Wad"},
};

// f(bar, previous bar or null, running total) -> the bar's value, or none.
using Step = std::function<std::optional<double>(const Candle&, const Candle*, double&)>;

Series run_reference(const Candles& cs, double start, const Step& step) {
  Series out;
  double total = start;
  for (std::size_t i = 0; i < cs.size(); ++i) out.push_back(step(cs[i], i ? &cs[i - 1] : nullptr, total));
  return out;
}

Step volume_index(bool rising) {
  return [rising](const Candle& c, const Candle* p, double& idx) -> std::optional<double> {
    if (p && p->close != 0 && (rising ? c.volume > p->volume : c.volume < p->volume))
      idx = idx + ((c.close - p->close) / p->close) * idx;
    return idx;
  };
}

Step wad = [](const Candle& c, const Candle* p, double& t) -> std::optional<double> {
  if (!p) return std::nullopt;
  t = (c.close > p->close ? c.close - std::min(c.low, p->close)
       : c.close < p->close ? c.close - std::max(c.high, p->close)
                            : 0.0) + t;
  return t;
};

const std::vector<std::tuple<std::string, double, Step>> kLines = {
    {"Obv", 0.0,
     [](const Candle& c, const Candle* p, double& t) -> std::optional<double> {
       if (p) t = c.close > p->close ? t + c.volume : c.close < p->close ? t - c.volume : t;
       return t;
     }},
    {"Nvi", 1000.0, volume_index(false)},
    {"Pvi", 1000.0, volume_index(true)},
    {"Adl", 0.0,
     [](const Candle& c, const Candle*, double& t) -> std::optional<double> {
       const double r = c.high - c.low;
       t = (r == 0 ? 0.0 : c.volume * (((c.close - c.low) - (c.high - c.close)) / r)) + t;
       return t;
     }},
    {"Wad", 0.0, wad},
    {"VolumePriceTrend", 0.0,
     [](const Candle& c, const Candle* p, double& t) -> std::optional<double> {
       if (p) t = t + c.volume * (p->close != 0 ? (c.close - p->close) / p->close : 0.0);
       return t;
     }},
    {"IntradayIntensity", 0.0,
     [](const Candle& c, const Candle*, double&) -> std::optional<double> {
       const double r = c.high - c.low;
       return r > 0 ? c.volume * (2 * c.close - c.high - c.low) / r : 0.0;
     }},
    {"MarketFacilitationIndex", 0.0,
     [](const Candle& c, const Candle*, double&) -> std::optional<double> {
       if (c.volume == 0) return std::nullopt;
       return (c.high - c.low) / c.volume;
     }},
};

TEST(VolumeLines, MatchTheirFormulas) {
  for (const Candles& cs : candle_tapes()) {
    for (const auto& [kind, start, step] : kLines) {
      EXPECT_TRUE(same_series(run_candles(kind, {}, cs).values, run_reference(cs, start, step))) << kind;
    }
    // Both volume-weighted prices from the first bar on; no value before any volume.
    Series want;
    double pv = 0.0, v = 0.0;
    for (const Candle& c : cs) {
      pv = pv + c.volume * ((c.high + c.low + c.close) / 3);
      v = v + c.volume;
      want.push_back(v == 0 ? Series::value_type() : pv / v);
    }
    EXPECT_TRUE(same_series(run_candles("Vwap", {}, cs).values, want));
    EXPECT_TRUE(same_series(run_candles("AnchoredVwap", {}, cs).values, want));
    // The Williams line less the simple average of its last 13 values.
    const Series line = run_reference(cs, 0.0, wad);
    const Series average = ref::over_present(line, [](const std::vector<double>& xs) { return ref::sma(xs, 13); });
    Series osc(cs.size());
    for (std::size_t i = 0; i < cs.size(); ++i)
      if (average[i]) osc[i] = *line[i] - *average[i];
    EXPECT_TRUE(same_series(run_candles("AdOscillator", {}, cs).values, osc));
  }
}

TEST(VolumeLines, EdgeBars) {
  const Candles cs = {{0, 10, 10, 10, 10, 0}, {0, 10, 12, 9, 11, 0}, {0, 11, 12, 10, 11.5, 50},
                      {0, 12, 12, 12, 12, 50}, {0, 12, 14, 10, 13, 40}};
  const auto values = [&](const char* kind) { return run_candles(kind, {}, cs).values; };
  const double pv = 50 * (33.5 / 3), pvi = 1000 + (0.5 / 11) * 1000;
  EXPECT_TRUE(same_series(values("Vwap"), {{}, {}, pv / 50, (pv + 600) / 100, (pv + 600 + 40 * (37.0 / 3)) / 140}));
  EXPECT_TRUE(same_series(values("Obv"), {0.0, 0.0, 50.0, 100.0, 140.0}));
  // Equal volumes move neither index, whatever the close does.
  EXPECT_TRUE(same_series(values("Pvi"), {1000.0, 1000.0, pvi, pvi, pvi}));
  EXPECT_TRUE(same_series(values("Nvi"), {1000.0, 1000.0, 1000.0, 1000.0, 1000 + (1.0 / 12) * 1000}));
  EXPECT_TRUE(same_series(values("MarketFacilitationIndex"), {{}, {}, 0.04, 0.0, 0.1}));
  EXPECT_TRUE(same_series(values("Wad"), {{}, 2.0, 3.5, 4.0, 7.0}));
  EXPECT_TRUE(same_series(values("IntradayIntensity"), {0.0, 0.0, 25.0, 0.0, 20.0}));
  EXPECT_EQ(values("AdOscillator")[4], std::nullopt);
}

}  // namespace
}  // namespace vsci
