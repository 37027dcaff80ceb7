#include "factory/registry.h"
#include "indicators/volume_candles.h"

namespace vsci {

std::span<const KindEntry> volume_candle_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&CandleVolume::create>("CandleVolume", {"period"}),
      kind_row<&Equivolume::create>("Equivolume", {"period"}),
      kind_row<&VolatilityCone::create>("VolatilityCone", {"window", "lookback"}, {10, 20}),
  };
  return kEntries;
}

}  // namespace vsci
