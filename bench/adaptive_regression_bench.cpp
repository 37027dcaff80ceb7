// Nanoseconds per update of each adaptive-average and regression kind, built
// by name and fed 1,000,000 closes of a random walk through the Indicator
// interface, as the engine drives them, beside a plain loop over the closes.
#include "bench_support.h"

int main(int argc, char** argv) {
  const auto walk = vsci::bench::candles_of(vsci::bench::walk_closes(2024, 0.5));
  vsci::bench::register_family("walk", walk,
                               {{"Kama", {10, 2, 30}},
                                {"Kama", {100, 2, 30}},
                                {"Vidya", {9, 12}},
                                {"Jma", {7, 50, 2}},
                                {"McGinleyDynamic", {14}},
                                {"Frama", {16}},
                                {"Frama", {1000}},
                                {"HoltWinters", {0.3, 0.1}},
                                {"AdaptiveLaguerreFilter", {13}},
                                {"AdaptiveLaguerreFilter", {1000}},
                                {"InstantaneousTrendline", {20}},
                                {"LinearRegression", {14}},
                                {"LinearRegression", {1000}},
                                {"LinRegSlope", {14}},
                                {"LinRegAngle", {14}},
                                {"LinRegIntercept", {14}},
                                {"Tsf", {14}},
                                {"Cfo", {14}},
                                {"TsfOscillator", {14}},
                                {"RSquared", {14}},
                                {"StandardError", {14}}});
  return vsci::bench::run_registered(argc, argv);
}
