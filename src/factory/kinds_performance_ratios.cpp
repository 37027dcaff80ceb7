#include "factory/registry.h"
#include "indicators/performance_ratios.h"

namespace vsci {

namespace {

// Kinds read by period alone.
template <class Kind>
IndicatorResult by_period(const ParamValue* v) {
  return make_close_indicator(Kind::create(v[0].count));
}

// Kinds read by period and one finite number.
template <class Kind>
IndicatorResult by_period_and_real(const ParamValue* v) {
  return make_close_indicator(Kind::create(v[0].count, v[1].real));
}

const KindEntry kEntries[] = {
    {"AverageDrawdown", "p", by_period<AverageDrawdown>},
    {"BurkeRatio", "p", by_period<BurkeRatio>},
    {"CalmarRatio", "p", by_period<CalmarRatio>},
    {"CommonSenseRatio", "p", by_period<CommonSenseRatio>},
    {"ConditionalValueAtRisk", "pf", by_period_and_real<ConditionalValueAtRisk>},
    {"Expectancy", "p", by_period<Expectancy>},
    {"GainLossRatio", "p", by_period<GainLossRatio>},
    {"GainToPainRatio", "p", by_period<GainToPainRatio>},
    {"KRatio", "p", by_period<KRatio>},
    {"KellyCriterion", "p", by_period<KellyCriterion>},
    {"M2Measure", "pff",
     [](const ParamValue* v) { return make_close_indicator(M2Measure::create(v[0].count, v[1].real, v[2].real)); }},
    {"MaxDrawdown", "p", by_period<MaxDrawdown>},
    {"OmegaRatio", "pf", by_period_and_real<OmegaRatio>},
    {"PainIndex", "p", by_period<PainIndex>},
    {"ProfitFactor", "p", by_period<ProfitFactor>},
    {"RecoveryFactor", "", [](const ParamValue*) { return make_close_indicator(RecoveryFactor::create()); }},
    {"ReturnToUlcerRatio", "p", by_period<ReturnToUlcerRatio>},
    {"SharpeRatio", "pf", by_period_and_real<SharpeRatio>},
    {"SortinoRatio", "pf", by_period_and_real<SortinoRatio>},
    {"SterlingRatio", "p", by_period<SterlingRatio>},
    {"TailRatio", "p", by_period<TailRatio>},
    {"UpsidePotentialRatio", "pf", by_period_and_real<UpsidePotentialRatio>},
    {"ValueAtRisk", "pf", by_period_and_real<ValueAtRisk>},
    {"WinRate", "p", by_period<WinRate>},
};

}  // namespace

std::span<const KindEntry> performance_ratio_kinds() { return kEntries; }

}  // namespace vsci
