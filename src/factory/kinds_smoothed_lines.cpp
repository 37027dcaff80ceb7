#include "factory/registry.h"
#include "indicators/smoothed_lines.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&Alligator::create>("Alligator", {13, 8, 5}),
    kind_row<&GatorOscillator::create>("GatorOscillator", {13, 8, 5}),
    kind_row<&SmoothedHeikinAshi::create>("SmoothedHeikinAshi"),
};

}  // namespace

std::span<const KindEntry> smoothed_line_kinds() { return kEntries; }

}  // namespace vsci
