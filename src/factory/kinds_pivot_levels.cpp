#include "factory/registry.h"
#include "indicators/pivot_levels.h"

namespace vsci {

std::span<const KindEntry> pivot_level_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<Camarilla>>("Camarilla"),
      kind_row<&create_plain<CentralPivotRange>>("CentralPivotRange"),
      kind_row<&create_plain<ClassicPivots>>("ClassicPivots"),
      kind_row<&create_plain<DemarkPivots>>("DemarkPivots"),
      kind_row<&create_plain<FibRangePivots>>("FibRangePivots"),
      kind_row<&create_plain<TdRangeProjection>>("TdRangeProjection"),
      kind_row<&create_plain<WoodiePivots>>("WoodiePivots"),
  };
  return kEntries;
}

}  // namespace vsci
