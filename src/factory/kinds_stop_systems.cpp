#include "factory/registry.h"
#include "indicators/stop_systems.h"

namespace vsci {

std::span<const KindEntry> stop_system_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&ParabolicStop::create_accelerating>("AcceleratingStopReverse",
                                                    {"initial", "step", "maximum"}, {0.02, 0.02, 0.2}),
      kind_row<&HiLoActivator::create>("HiLoActivator", {"period"}),
      kind_row<&NewPriceLines::create>("NewPriceLines", {"period"}, {3}),
      kind_row<&PivotReversal::create>("PivotReversal", {"left", "right"}, {3, 2}),
      kind_row<&ParabolicStop::create_extended>("SarExt",
                                                {"start", "offset", "long_initial", "long_step", "long_maximum",
                                                 "short_initial", "short_step", "short_maximum"},
                                                {0, 0.01, 0.02, 0.02, 0.2, 0.03, 0.02, 0.25}),
      kind_row<&ThreeLineBreak::create>("ThreeLineBreak", {"period"}, {3}).with_first_value(FirstValue::WhenDataAllows),
      kind_row<&TimeBasedStop::create>("TimeBasedStop", {"period"}, {20}),
  };
  return kEntries;
}

}  // namespace vsci
