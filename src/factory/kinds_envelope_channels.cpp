#include "factory/registry.h"
#include "indicators/envelope_channels.h"

namespace vsci {

std::span<const KindEntry> envelope_channel_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&AccelerationBands::create>("AccelerationBands", {"period", "factor"}, {20, 4.0}),
      kind_row<&BomarBands::create>("BomarBands", {"period", "coverage"}, {20, 0.85}),
      kind_row<&CloseAtrBands::create>("CloseAtrBands", {"atr_period", "multiplier"}, {14, 2.0}),
      kind_row<&EmaAtrChannel::create>("EmaAtrChannel", {"average_period", "atr_period", "multiplier"}, {10, 14, 2.0}),
      kind_row<&HurstChannel::create>("HurstChannel", {"period", "multiplier"}, {10, 0.5}),
      kind_row<&MaEnvelope::create>("MaEnvelope", {"period", "fraction"}, {10, 0.025}),
      kind_row<&StarcBands::create>("StarcBands", {"average_period", "atr_period", "multiplier"}, {6, 15, 2.0}),
  };
  return kEntries;
}

}  // namespace vsci
