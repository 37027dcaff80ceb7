#include "factory/registry.h"
#include "indicators/candle_oscillators.h"
#include "indicators/cores/vwma_core.h"

namespace vsci {

std::span<const KindEntry> candle_oscillator_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&TtmTrend::create>("TtmTrend", {"period"}),
      kind_row<&TwiggsMoneyFlow::create>("TwiggsMoneyFlow", {"period"}),
      kind_row<&UltimateOscillator::create>("UltimateOscillator", {"period1", "period2", "period3"}, {7, 14, 28}),
      kind_row<&VolumeOscillator::create>("VolumeOscillator", {"fast", "slow"}),
      kind_row<&VolumeRsi::create>("VolumeRsi", {"period"}),
      kind_row<&Vwma::create>("Vwma", {"period"}),
      kind_row<&Vzo::create>("Vzo", {"period"}),
      kind_row<&WilliamsR::create>("WilliamsR", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
