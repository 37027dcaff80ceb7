// Registry rows of the directional-movement and trend-strength line kinds.
#include "factory/registry.h"
#include "indicators/trend_strength_lines.h"

namespace vsci {

std::span<const KindEntry> trend_strength_line_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&Adx::create>("Adx", {"period"}),
      kind_row<&Aroon::create>("Aroon", {"period"}),
      kind_row<&ElderRay::create>("ElderRay", {"period"}),
      kind_row<&Rwi::create>("Rwi", {"period"}),
      kind_row<&VortexIndicator::create>("VortexIndicator", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
