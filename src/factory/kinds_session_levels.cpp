#include "factory/registry.h"
#include "indicators/session_levels.h"

namespace vsci {

std::span<const KindEntry> session_level_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&InitialBalance::create>("InitialBalance", {"period"}),
      kind_row<&OpeningRange::create>("OpeningRange", {"period"}),
      kind_row<&OvernightIntradayReturn::create>("OvernightIntradayReturn", {"offset_minutes"}, {-60})
          .with_first_value(FirstValue::WhenDataAllows),
      kind_row<&SessionHighLow::create>("SessionHighLow", {"offset_minutes"}, {60}),
      kind_row<&SessionRange::create>("SessionRange", {"offset_minutes"}, {-60}),
  };
  return kEntries;
}

}  // namespace vsci
