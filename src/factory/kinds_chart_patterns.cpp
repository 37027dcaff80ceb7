#include "factory/registry.h"
#include "indicators/chart_patterns.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&create_plain<DoubleTopBottom>>("DoubleTopBottom"),
    kind_row<&create_plain<FlagPennant>>("FlagPennant"),
    kind_row<&create_plain<HeadAndShoulders>>("HeadAndShoulders"),
    kind_row<&create_plain<RectangleRange>>("RectangleRange"),
    kind_row<&create_plain<Triangle>>("Triangle"),
    kind_row<&create_plain<TripleTopBottom>>("TripleTopBottom"),
    kind_row<&create_plain<TwinRimPullback>>("TwinRimPullback"),
    kind_row<&create_plain<Wedge>>("Wedge"),
};

}  // namespace

std::span<const KindEntry> chart_pattern_kinds() { return kEntries; }

}  // namespace vsci
