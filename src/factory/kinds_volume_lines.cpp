#include "factory/registry.h"
#include "indicators/volume_lines.h"

namespace vsci {

std::span<const KindEntry> volume_line_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<AdOscillator>>("AdOscillator"),
      kind_row<&create_plain<Adl>>("Adl"),
      kind_row<&create_plain<Vwap>>("AnchoredVwap"),
      kind_row<&create_plain<IntradayIntensity>>("IntradayIntensity"),
      kind_row<&create_plain<MarketFacilitationIndex>>("MarketFacilitationIndex"),
      kind_row<&create_plain<Nvi>>("Nvi"),
      kind_row<&create_plain<Obv>>("Obv"),
      kind_row<&create_plain<Pvi>>("Pvi"),
      kind_row<&create_plain<VolumePriceTrend>>("VolumePriceTrend"),
      kind_row<&create_plain<Vwap>>("Vwap"),
      kind_row<&create_plain<Wad>>("Wad"),
  };
  return kEntries;
}

}  // namespace vsci
