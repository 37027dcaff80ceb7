// Registry rows of the performance ratios: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/performance_ratios.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&AverageDrawdown::create>("AverageDrawdown"),
    kind_row<&BurkeRatio::create>("BurkeRatio"),
    kind_row<&CalmarRatio::create>("CalmarRatio"),
    kind_row<&CommonSenseRatio::create>("CommonSenseRatio"),
    kind_row<&ConditionalValueAtRisk::create>("ConditionalValueAtRisk"),
    kind_row<&Expectancy::create>("Expectancy"),
    kind_row<&GainLossRatio::create>("GainLossRatio"),
    kind_row<&GainToPainRatio::create>("GainToPainRatio"),
    kind_row<&KRatio::create>("KRatio"),
    kind_row<&KellyCriterion::create>("KellyCriterion"),
    kind_row<&M2Measure::create>("M2Measure"),
    kind_row<&MaxDrawdown::create>("MaxDrawdown"),
    kind_row<&OmegaRatio::create>("OmegaRatio"),
    kind_row<&PainIndex::create>("PainIndex"),
    kind_row<&ProfitFactor::create>("ProfitFactor"),
    kind_row<&RecoveryFactor::create>("RecoveryFactor"),
    kind_row<&ReturnToUlcerRatio::create>("ReturnToUlcerRatio"),
    kind_row<&SharpeRatio::create>("SharpeRatio"),
    kind_row<&SortinoRatio::create>("SortinoRatio"),
    kind_row<&SterlingRatio::create>("SterlingRatio"),
    kind_row<&TailRatio::create>("TailRatio"),
    kind_row<&UpsidePotentialRatio::create>("UpsidePotentialRatio"),
    kind_row<&ValueAtRisk::create>("ValueAtRisk"),
    kind_row<&WinRate::create>("WinRate"),
};

}  // namespace

std::span<const KindEntry> performance_ratio_kinds() { return kEntries; }

}  // namespace vsci
