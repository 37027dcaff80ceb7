// Registry rows of the trend-strength kinds: a row follows from its kind's
// create and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/trend_strength.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&PercentageTrailingStop::create>("PercentageTrailingStop"),
    kind_row<&PolarizedFractalEfficiency::create>("PolarizedFractalEfficiency"),
    kind_row<&RegimeLabel::create>("RegimeLabel"),
    kind_row<&RenkoTrailingStop::create>("RenkoTrailingStop"),
    kind_row<&StepTrailingStop::create>("StepTrailingStop"),
    kind_row<&TrendLabel::create>("TrendLabel"),
    kind_row<&TrendStrengthIndex::create>("TrendStrengthIndex"),
    kind_row<&VerticalHorizontalFilter::create>("VerticalHorizontalFilter"),
    kind_row<&WavePm::create>("WavePm"),
};

}  // namespace

std::span<const KindEntry> trend_strength_kinds() { return kEntries; }

}  // namespace vsci
