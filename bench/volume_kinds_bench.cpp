// ns per update of the volume kinds (money flow, volume profiles, cumulative
// volume lines) and the pivot levels over 1,000,000 bars of a walk whose
// candles have ranges and varying volumes.
#include "bench_support.h"

int main(int argc, char** argv) {
  auto bars = vsci::bench::candles_of(vsci::bench::walk_closes(5, 1.0, 1.0));
  for (std::size_t i = 1; i < bars.size(); ++i) {
    vsci::Candle& c = bars[i];
    c.open = bars[i - 1].close;
    c.high = std::fmax(c.open, c.close) + 0.25 * static_cast<double>(i % 5);
    c.low = std::fmin(c.open, c.close) - 0.25 * static_cast<double>(i % 3);
    c.volume = 1000.0 + static_cast<double>((i * 7919) % 9000);
  }
  std::vector<vsci::bench::KindRun> runs = {
      {"ChaikinMoneyFlow", {20}}, {"ChaikinOscillator", {3, 10}}, {"Mfi", {14}},       {"ForceIndex", {13}},
      {"EaseOfMovement", {14}},   {"Kvo", {34, 55}},              {"DemandIndex", {10}}, {"BetterVolume", {20}},
      {"Evwma", {20}},            {"RollingVwap", {20}},          {"SessionVwap", {0}},  {"TradeVolumeIndex", {0.5}},
      {"Tsv", {18}},              {"NakedPoc", {20, 24}},         {"ProfileShape", {20, 24}},
      {"SinglePrints", {20, 24}}};
  for (const char* kind : {"ClassicPivots", "Camarilla", "WoodiePivots", "DemarkPivots", "FibRangePivots",
                           "CentralPivotRange", "TdRangeProjection", "Obv", "Nvi", "Pvi", "Adl", "AdOscillator",
                           "Wad", "Vwap", "AnchoredVwap", "VolumePriceTrend", "IntradayIntensity",
                           "MarketFacilitationIndex"}) {
    runs.push_back({kind, {}});
  }
  vsci::bench::register_family("walk", bars, runs);
  return vsci::bench::run_registered(argc, argv);
}
