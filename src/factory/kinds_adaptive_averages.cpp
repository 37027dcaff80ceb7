// Registry rows of the adaptive averages: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/adaptive_averages.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&AdaptiveLaguerreFilter::create>("AdaptiveLaguerreFilter"),
    kind_row<&Frama::create>("Frama", {10}),
    kind_row<&HoltWinters::create>("HoltWinters"),
    kind_row<&InstantaneousTrendline::create>("InstantaneousTrendline"),
    kind_row<&Jma::create>("Jma"),
    kind_row<&Kama::create>("Kama"),
    kind_row<&McGinleyDynamic::create>("McGinleyDynamic"),
    kind_row<&Vidya::create>("Vidya"),
};

}  // namespace

std::span<const KindEntry> adaptive_average_kinds() { return kEntries; }

}  // namespace vsci
