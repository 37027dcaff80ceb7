#include "factory/registry.h"
#include "indicators/chart_patterns.h"

namespace vsci {

std::span<const KindEntry> chart_pattern_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<DoubleTopBottom>>("DoubleTopBottom").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<FlagPennant>>("FlagPennant").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<HeadAndShoulders>>("HeadAndShoulders").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<RectangleRange>>("RectangleRange").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<Triangle>>("Triangle").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<TripleTopBottom>>("TripleTopBottom").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<TwinRimPullback>>("TwinRimPullback").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<Wedge>>("Wedge").with_first_value(FirstValue::WhenDataAllows),
  };
  return kEntries;
}

}  // namespace vsci
