#include "factory/registry.h"
#include "indicators/momentum_oscillators.h"

namespace vsci {

std::span<const KindEntry> momentum_oscillator_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&AcceleratorOscillator::create>("AcceleratorOscillator", {"fast", "slow", "signal"}, {5, 34, 5}),
      kind_row<&AwesomeOscillator::create>("AwesomeOscillator", {"fast", "slow"}, {5, 34}),
      kind_row<&AwesomeOscillatorHistogram::create>("AwesomeOscillatorHistogram", {"fast", "slow", "lag"}, {5, 34, 3}),
      kind_row<&HeikinAshiBodyOscillator::create>("HeikinAshiBodyOscillator", {"period"}, {10}),
      kind_row<&Inertia::create>("Inertia", {"rvi_period", "regression_length"}, {10, 14}),
      kind_row<&IntradayMomentumIndex::create>("IntradayMomentumIndex", {"period"}, {14}),
      kind_row<&Pgo::create>("Pgo", {"period"}, {14}),
      kind_row<&Qstick::create>("Qstick", {"period"}, {8}),
      kind_row<&Rvi::create>("Rvi", {"period"}, {10}),
  };
  return kEntries;
}

}  // namespace vsci
