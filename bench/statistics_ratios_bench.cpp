// ns per Indicator::update of the rolling-statistics and performance-ratio
// kinds over 1,000,000 bars, window 20: statistics and level kinds on a random
// walk of prices, return kinds on random per-period returns; each data set
// beside a plain loop over its closes.
#include "bench_support.h"

int main(int argc, char** argv) {
  constexpr double p = 20.0;
  const auto prices = vsci::bench::candles_of(vsci::bench::walk_closes(42, 1.0));
  const auto returns = vsci::bench::candles_of(vsci::bench::return_closes(43, 0.0005, 0.01));
  vsci::bench::register_family("prices", prices,
                               {{"StdDev", {p}},
                                {"Variance", {p}},
                                {"ZScore", {p}},
                                {"CoefficientOfVariation", {p}},
                                {"DetrendedStdDev", {p}},
                                {"Skewness", {p}},
                                {"Kurtosis", {p}},
                                {"JarqueBera", {p}},
                                {"MedianAbsoluteDeviation", {p}},
                                {"RollingIqr", {p}},
                                {"RollingQuantile", {p, 0.9}},
                                {"RollingPercentileRank", {p}},
                                {"RollingMinMaxScaler", {p}},
                                {"PercentB", {p, 2.0}},
                                {"BollingerBandwidth", {p, 2.0}},
                                {"SampleEntropy", {p, 2.0, 0.2}},
                                {"ShannonEntropy", {p, 10.0}},
                                {"MaxDrawdown", {p}},
                                {"AverageDrawdown", {p}},
                                {"PainIndex", {p}},
                                {"RecoveryFactor", {}}});
  vsci::bench::register_family("returns", returns,
                               {{"SharpeRatio", {p, 0.0}},
                                {"SortinoRatio", {p, 0.0}},
                                {"CalmarRatio", {p}},
                                {"SterlingRatio", {p}},
                                {"BurkeRatio", {p}},
                                {"ReturnToUlcerRatio", {p}},
                                {"OmegaRatio", {p, 0.0}},
                                {"GainLossRatio", {p}},
                                {"GainToPainRatio", {p}},
                                {"ProfitFactor", {p}},
                                {"WinRate", {p}},
                                {"Expectancy", {p}},
                                {"KellyCriterion", {p}},
                                {"KRatio", {p}},
                                {"TailRatio", {p}},
                                {"ValueAtRisk", {p, 0.95}},
                                {"ConditionalValueAtRisk", {p, 0.95}},
                                {"UpsidePotentialRatio", {p, 0.0}},
                                {"CommonSenseRatio", {p}},
                                {"M2Measure", {p, 0.0, 0.01}}});
  return vsci::bench::run_registered(argc, argv);
}
