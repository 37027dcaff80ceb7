#include "factory/registry.h"
#include "indicators/volume_profiles.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&NakedPoc::create>("NakedPoc"),
    kind_row<&ProfileShape::create>("ProfileShape"),
    kind_row<&SinglePrints::create>("SinglePrints"),
};

}  // namespace

std::span<const KindEntry> volume_profile_kinds() { return kEntries; }

}  // namespace vsci
