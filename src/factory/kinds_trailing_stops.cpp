// Registry rows of the trailing stops.
#include "factory/registry.h"
#include "indicators/trailing_stops.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&AtrRatchet::create>("AtrRatchet", {10, 2.0, 0.05}),
    kind_row<&ChandeKrollStop::create>("ChandeKrollStop", {10, 1.0, 9}),
    kind_row<&ChandelierExit::create>("ChandelierExit", {22, 3.0}),
    kind_row<&DonchianStop::create>("DonchianStop"),
    kind_row<&ElderSafeZone::create>("ElderSafeZone", {10, 2.0}),
    kind_row<&KaseDevStop::create>("KaseDevStop", {10, 2.0}),
    kind_row<&ModifiedMaStop::create>("ModifiedMaStop"),
    kind_row<&Nrtr::create>("Nrtr", {2.0}),
    kind_row<&SuperTrend::create>("SuperTrend", {10, 3.0}),
};

}  // namespace

std::span<const KindEntry> trailing_stop_kinds() { return kEntries; }

}  // namespace vsci
