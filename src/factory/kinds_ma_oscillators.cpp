// Registry rows of the moving-average oscillators: a row follows from its
// kind's create and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/ma_oscillators.h"

namespace vsci {

std::span<const KindEntry> ma_oscillator_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&Apo::create>("Apo", {"fast", "slow"}),
      kind_row<&ElderImpulse::create>("ElderImpulse", {"trend_period", "fast", "slow", "signal"}),
      kind_row<&MacdHistogram::create>("MacdHistogram", {"fast", "slow", "signal"}),
      kind_row<&Pmo::create>("Pmo", {"smoothing1", "smoothing2"}),
      kind_row<&Ppo::create>("Ppo", {"fast", "slow"}),
      kind_row<&PpoHistogram::create>("PpoHistogram", {"fast", "slow", "signal"}),
      kind_row<&Stc::create>("Stc", {"fast", "slow", "cycle", "factor"}),
      kind_row<&Tii::create>("Tii", {"period", "window"}),
      kind_row<&Trix::create>("Trix", {"period"}),
      kind_row<&Tsi::create>("Tsi", {"smoothing1", "smoothing2"}),
      kind_row<&UniversalOscillator::create>("UniversalOscillator", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
