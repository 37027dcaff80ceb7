// ns per update of the trend-strength and volatility kinds over 1,000,000 bars,
// beside a plain loop that only reads the closes (the streaming overhead floor).
// The walk stays at or above 1 so that every close has a log return.
#include "bench_support.h"

int main(int argc, char** argv) {
  const auto walk = vsci::bench::candles_of(vsci::bench::walk_closes(1, 0.5, 1.0));
  vsci::bench::register_family("walk", walk,
                               {{"VerticalHorizontalFilter", {14}},
                                {"PolarizedFractalEfficiency", {10, 5}},
                                {"TrendStrengthIndex", {14}},
                                {"WavePm", {14, 5}},
                                {"TrendLabel", {14}},
                                {"RegimeLabel", {20, 50}},
                                {"PercentageTrailingStop", {2}},
                                {"StepTrailingStop", {1}},
                                {"RenkoTrailingStop", {1}},
                                {"HistoricalVolatility", {20, 252}},
                                {"RealizedVolatility", {20}},
                                {"BipowerVariation", {20}},
                                {"EwmaVolatility", {0.94}},
                                {"Garch11", {1e-6, 0.08, 0.9}},
                                {"JumpIndicator", {20, 3}},
                                {"VolatilityOfVolatility", {20, 20}},
                                {"UlcerIndex", {14}},
                                {"RviVolatility", {10}}});
  return vsci::bench::run_registered(argc, argv);
}
