// Registry rows of the trailing stops.
#include "factory/registry.h"
#include "indicators/trailing_stops.h"

namespace vsci {

std::span<const KindEntry> trailing_stop_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&AtrRatchet::create>("AtrRatchet", {"atr_period", "initial_multiple", "step_multiple"}, {10, 2.0, 0.05}),
      kind_row<&ChandeKrollStop::create>("ChandeKrollStop", {"atr_period", "multiplier", "stop_period"}, {10, 1.0, 9}),
      kind_row<&ChandelierExit::create>("ChandelierExit", {"period", "multiplier"}, {22, 3.0}),
      kind_row<&DonchianStop::create>("DonchianStop", {"period"}),
      kind_row<&ElderSafeZone::create>("ElderSafeZone", {"period", "multiplier"}, {10, 2.0}),
      kind_row<&KaseDevStop::create>("KaseDevStop", {"period", "multiplier"}, {10, 2.0}),
      kind_row<&ModifiedMaStop::create>("ModifiedMaStop", {"period"}),
      kind_row<&Nrtr::create>("Nrtr", {"reversal_pct"}, {2.0}),
      kind_row<&SuperTrend::create>("SuperTrend", {"atr_period", "multiplier"}, {10, 3.0}),
  };
  return kEntries;
}

}  // namespace vsci
