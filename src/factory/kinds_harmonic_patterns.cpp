#include "factory/registry.h"
#include "indicators/harmonic_patterns.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&create_plain<Bat>>("Bat"),
    kind_row<&create_plain<Butterfly>>("Butterfly"),
    kind_row<&create_plain<Crab>>("Crab"),
    kind_row<&create_plain<EqualLegsPattern>>("EqualLegsPattern"),
    kind_row<&create_plain<ExtendedLegHarmonic>>("ExtendedLegHarmonic"),
    kind_row<&create_plain<Gartley>>("Gartley"),
    kind_row<&create_plain<Shark>>("Shark"),
    kind_row<&create_plain<ThreeDrives>>("ThreeDrives"),
};

}  // namespace

std::span<const KindEntry> harmonic_pattern_kinds() { return kEntries; }

}  // namespace vsci
