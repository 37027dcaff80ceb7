#include "factory/registry.h"
#include "indicators/price_channels.h"

namespace vsci {

std::span<const KindEntry> price_channel_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&Donchian::create>("Donchian", {"period"}, {20}),
      kind_row<&FractalChaosBands::create>("FractalChaosBands", {"span"}, {2}).with_first_value(FirstValue::WhenDataAllows),
      kind_row<&MedianChannel::create>("MedianChannel", {"period", "multiplier"}, {15, 2.0}),
  };
  return kEntries;
}

}  // namespace vsci
