#include "factory/registry.h"
#include "indicators/td_bar_patterns.h"

namespace vsci {

std::span<const KindEntry> td_bar_pattern_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<TdCamouflage>>("TdCamouflage"),
      kind_row<&create_plain<TdClop>>("TdClop"),
      kind_row<&create_plain<TdClopwin>>("TdClopwin"),
      kind_row<&create_plain<TdDifferential>>("TdDifferential"),
      kind_row<&create_plain<TdOpen>>("TdOpen"),
      kind_row<&create_plain<TdPropulsion>>("TdPropulsion"),
      kind_row<&create_plain<TdTrap>>("TdTrap"),
  };
  return kEntries;
}

}  // namespace vsci
