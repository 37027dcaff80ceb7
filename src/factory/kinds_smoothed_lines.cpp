#include "factory/registry.h"
#include "indicators/smoothed_lines.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&Alligator::create>("Alligator", {"jaw", "teeth", "lips"}, {13, 8, 5}),
    kind_row<&GatorOscillator::create>("GatorOscillator", {"jaw", "teeth", "lips"}, {13, 8, 5}),
    kind_row<&SmoothedHeikinAshi::create>("SmoothedHeikinAshi", {"period"}),
};

}  // namespace

std::span<const KindEntry> smoothed_line_kinds() { return kEntries; }

}  // namespace vsci
