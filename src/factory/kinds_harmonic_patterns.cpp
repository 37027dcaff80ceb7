#include "factory/registry.h"
#include "indicators/harmonic_patterns.h"

namespace vsci {

std::span<const KindEntry> harmonic_pattern_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<Bat>>("Bat").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<Butterfly>>("Butterfly").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<Crab>>("Crab").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<EqualLegsPattern>>("EqualLegsPattern").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<ExtendedLegHarmonic>>("ExtendedLegHarmonic").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<Gartley>>("Gartley").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<Shark>>("Shark").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<ThreeDrives>>("ThreeDrives").with_first_value(FirstValue::WhenDataAllows),
  };
  return kEntries;
}

}  // namespace vsci
