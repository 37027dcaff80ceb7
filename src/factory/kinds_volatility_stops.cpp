#include "factory/registry.h"
#include "indicators/volatility_stops.h"

namespace vsci {

std::span<const KindEntry> volatility_stop_kinds() {
  static constexpr KindEntry kEntries[] = {
      // Two days at each end of a month: the example tape crosses one turn.
      kind_row<&TurnOfMonth::create>("TurnOfMonth", {"start_days", "end_days", "offset_minutes"}, {2, 2, 60})
          .with_first_value(FirstValue::WhenDataAllows),
      kind_row<&VolatilityRatio::create>("VolatilityRatio", {"period"}),
      kind_row<&VoltyStop::create>("VoltyStop", {"atr_period", "multiplier"}, {7, 2.5}),
      kind_row<&YangZhangVolatility::create>("YangZhangVolatility", {"period", "periods_per_year"}, {10, 252}),
      kind_row<&YoyoExit::create>("YoyoExit", {"atr_period", "multiplier"}, {7, 2.0}),
  };
  return kEntries;
}

}  // namespace vsci
