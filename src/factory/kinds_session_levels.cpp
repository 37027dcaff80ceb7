#include "factory/registry.h"
#include "indicators/session_levels.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&InitialBalance::create>("InitialBalance"),
    kind_row<&OpeningRange::create>("OpeningRange"),
    kind_row<&OvernightIntradayReturn::create>("OvernightIntradayReturn", {-60}),
    kind_row<&SessionHighLow::create>("SessionHighLow", {60}),
    kind_row<&SessionRange::create>("SessionRange", {-60}),
};

}  // namespace

std::span<const KindEntry> session_level_kinds() { return kEntries; }

}  // namespace vsci
