#include "factory/registry.h"
#include "indicators/stop_systems.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&ParabolicStop::create_accelerating>("AcceleratingStopReverse", {0.02, 0.02, 0.2}),
    kind_row<&HiLoActivator::create>("HiLoActivator"),
    kind_row<&NewPriceLines::create>("NewPriceLines", {3}),
    kind_row<&PivotReversal::create>("PivotReversal", {3, 2}),
    kind_row<&ParabolicStop::create_extended>("SarExt", {0, 0.01, 0.02, 0.02, 0.2, 0.03, 0.02, 0.25}),
    kind_row<&ThreeLineBreak::create>("ThreeLineBreak", {3}),
    kind_row<&TimeBasedStop::create>("TimeBasedStop", {20}),
};

}  // namespace

std::span<const KindEntry> stop_system_kinds() { return kEntries; }

}  // namespace vsci
