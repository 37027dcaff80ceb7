// Update cost of the moving-average oscillators and the RSI family: each kind
// is built by name and fed the same 1,000,000 closes beside a plain loop over
// them; the ns_per_update counter is the time per bar.
#include "bench_support.h"

int main(int argc, char** argv) {
  const auto walk = vsci::bench::candles_of(vsci::bench::walk_closes(42, 1.0));
  vsci::bench::register_family("walk", walk,
                               {// Moving-average oscillators.
                                {"Apo", {12, 26}},
                                {"Ppo", {12, 26}},
                                {"PpoHistogram", {12, 26, 9}},
                                {"MacdHistogram", {12, 26, 9}},
                                {"Trix", {15}},
                                {"Tsi", {25, 13}},
                                {"Pmo", {35, 20}},
                                {"Stc", {23, 50, 10, 0.5}},
                                {"Tii", {60, 30}},
                                {"ElderImpulse", {13, 12, 26, 9}},
                                {"UniversalOscillator", {20}},
                                // RSI family.
                                {"Rsi", {14}},
                                {"Rsx", {14}},
                                {"Rmi", {14, 4}},
                                {"Cmo", {14}},
                                {"StochRsi", {14, 14}},
                                {"ConnorsRsi", {3, 2, 100}},
                                {"LaguerreRsi", {0.5}},
                                {"AdaptiveRsi", {14}},
                                {"AnchoredRsi", {}},
                                {"FisherRsi", {14}},
                                {"DynamicLengthRsi", {10}},
                                {"SmoothedRsiHistogram", {14, 3, 5, 9}}});
  return vsci::bench::run_registered(argc, argv);
}
