// Cumulative volume lines and per-bar ratios against one batch loop written
// from their formulas, over tapes with zero-volume, zero-range and flat
// stretches, and the edge bars of their definitions.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "support/batch_reference.h"
#include "support/candle_run.h"
#include "support/compare.h"

namespace vsci {
namespace {

using namespace vsci::testing;

std::map<std::string, Series> references(const Candles& cs) {
  std::map<std::string, Series> out;
  double obv = 0, nvi = 1000, pvi = 1000, adl = 0, wad = 0, vpt = 0, pv = 0, v = 0;
  for (std::size_t i = 0; i < cs.size(); ++i) {
    const Candle& c = cs[i];
    const double r = c.high - c.low;
    adl = (r == 0 ? 0.0 : c.volume * (((c.close - c.low) - (c.high - c.close)) / r)) + adl;
    pv = pv + c.volume * ((c.high + c.low + c.close) / 3);
    v = v + c.volume;
    if (i > 0) {
      const Candle& p = cs[i - 1];
      const double change = p.close != 0 ? (c.close - p.close) / p.close : 0.0;
      obv = c.close > p.close ? obv + c.volume : c.close < p.close ? obv - c.volume : obv;
      if (c.volume < p.volume) nvi = nvi + change * nvi;
      if (c.volume > p.volume) pvi = pvi + change * pvi;
      wad = (c.close > p.close   ? c.close - std::min(c.low, p.close)
             : c.close < p.close ? c.close - std::max(c.high, p.close)
                                 : 0.0) + wad;
      vpt = vpt + c.volume * change;
      out["Wad"].push_back(wad);
    } else {
      out["Wad"].push_back({});
    }
    for (auto [kind, x] : {std::pair{"Obv", obv}, {"Nvi", nvi}, {"Pvi", pvi}, {"Adl", adl}, {"VolumePriceTrend", vpt}})
      out[kind].push_back(x);
    out["Vwap"].push_back(v == 0 ? Series::value_type() : pv / v);
    out["IntradayIntensity"].push_back(r > 0 ? c.volume * (2 * c.close - c.high - c.low) / r : 0.0);
    out["MarketFacilitationIndex"].push_back(c.volume == 0 ? Series::value_type() : r / c.volume);
  }
  out["AnchoredVwap"] = out["Vwap"];
  // The Williams line less the simple average of its last 13 values.
  const Series avg = ref::over_present(out["Wad"], [](const std::vector<double>& xs) { return ref::sma(xs, 13); });
  for (std::size_t i = 0; i < cs.size(); ++i)
    out["AdOscillator"].push_back(avg[i] ? *out["Wad"][i] - *avg[i] : Series::value_type());
  return out;
}

TEST(VolumeLines, MatchTheirFormulas) {
  for (const Candles& cs : candle_run_tapes()) {
    for (const auto& [kind, want] : references(cs)) {
      EXPECT_TRUE(same_series(run_candle_kind(kind, {}, cs).values, want)) << kind;
    }
  }
}

TEST(VolumeLines, EdgeBars) {
  const Candles cs = {{0, 10, 10, 10, 10, 0}, {0, 10, 12, 9, 11, 0}, {0, 11, 12, 10, 11.5, 50},
                      {0, 12, 12, 12, 12, 50}, {0, 12, 14, 10, 13, 40}};
  const auto values = [&](const char* kind) { return run_candle_kind(kind, {}, cs).values; };
  const double pv = 50 * (33.5 / 3), pvi = 1000 + (0.5 / 11) * 1000;
  EXPECT_TRUE(same_series(values("Vwap"), {{}, {}, pv / 50, (pv + 600) / 100, (pv + 600 + 40 * (37.0 / 3)) / 140}));
  // Equal volumes move neither index, whatever the close does.
  EXPECT_TRUE(same_series(values("Pvi"), {1000.0, 1000.0, pvi, pvi, pvi}));
  EXPECT_TRUE(same_series(values("Nvi"), {1000.0, 1000.0, 1000.0, 1000.0, 1000 + (1.0 / 12) * 1000}));
  EXPECT_TRUE(same_series(values("Wad"), {{}, 2.0, 3.5, 4.0, 7.0}));
}

}  // namespace
}  // namespace vsci
