#include "factory/registry.h"
#include "indicators/geometry_levels.h"

namespace vsci {

std::span<const KindEntry> geometry_level_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&AndrewsPitchfork::create>("AndrewsPitchfork", {"strength"}, {2}).with_first_value(FirstValue::WhenDataAllows),
      kind_row<&MurreyMathLines::create>("MurreyMathLines", {"period"}),
      kind_row<&ZigZag::create>("ZigZag", {"fraction"}, {0.03}).with_first_value(FirstValue::WhenDataAllows),
  };
  return kEntries;
}

}  // namespace vsci
