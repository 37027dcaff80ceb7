#include "factory/registry.h"
#include "indicators/fib_levels.h"

namespace vsci {

std::span<const KindEntry> fib_level_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<AutoFib>>("AutoFib").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<FibArcs>>("FibArcs").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<FibChannel>>("FibChannel").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<FibConfluence>>("FibConfluence").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<FibExtension>>("FibExtension").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<FibFan>>("FibFan").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<FibProjection>>("FibProjection").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<FibRetracement>>("FibRetracement").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<FibTimeZones>>("FibTimeZones").with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_plain<GoldenPocket>>("GoldenPocket").with_first_value(FirstValue::WhenDataAllows),
  };
  return kEntries;
}

}  // namespace vsci
