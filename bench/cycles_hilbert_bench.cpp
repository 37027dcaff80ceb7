// Nanoseconds per update of each cycle-filter and Hilbert-transform kind, fed
// 1,000,000 closes of a random walk through the factory-built Indicator,
// beside a plain loop over the closes.
#include "bench_support.h"

int main(int argc, char** argv) {
  const auto walk = vsci::bench::candles_of(vsci::bench::walk_closes(42, 1.0));
  vsci::bench::register_family("walk", walk,
                               {{"HighpassFilter", {48}},
                                {"SuperSmoother", {10}},
                                {"SuperSmoothedHighpass", {10, 48}},
                                {"BandpassFilter", {20, 0.3}},
                                {"Decycler", {60}},
                                {"DecyclerOscillator", {30, 60}},
                                {"Reflex", {20}},
                                {"Trendflex", {20}},
                                {"CyberneticCycle", {10}},
                                {"CenterOfGravity", {10}},
                                {"CorrelationTrendIndicator", {20}},
                                {"EhlersStochastic", {20}},
                                {"FisherTransform", {10}},
                                {"InverseFisherTransform", {0.1}},
                                {"Autocorrelation", {30, 5}},
                                {"AutocorrelationPeriodogram", {10, 48}},
                                {"EmpiricalModeDecomposition", {20, 0.5}},
                                {"EvenBetterSinewave", {40, 10}},
                                {"HurstExponent", {100, 4}},
                                {"HtDcPhase", {}},
                                {"HilbertCyclePeriod", {}},
                                {"SineWave", {}},
                                {"HtTrendMode", {}},
                                {"AdaptiveCycle", {}},
                                {"Fama", {0.5, 0.05}}});
  return vsci::bench::run_registered(argc, argv);
}
