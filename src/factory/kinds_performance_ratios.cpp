// Registry rows of the performance ratios: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/performance_ratios.h"

namespace vsci {

std::span<const KindEntry> performance_ratio_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&AverageDrawdown::create>("AverageDrawdown", {"period"}),
      kind_row<&BurkeRatio::create>("BurkeRatio", {"period"}),
      kind_row<&CalmarRatio::create>("CalmarRatio", {"period"}),
      kind_row<&CommonSenseRatio::create>("CommonSenseRatio", {"period"}),
      kind_row<&ConditionalValueAtRisk::create>("ConditionalValueAtRisk", {"period", "confidence"}),
      kind_row<&Expectancy::create>("Expectancy", {"period"}),
      kind_row<&GainLossRatio::create>("GainLossRatio", {"period"}),
      kind_row<&GainToPainRatio::create>("GainToPainRatio", {"period"}),
      kind_row<&KRatio::create>("KRatio", {"period"}),
      kind_row<&KellyCriterion::create>("KellyCriterion", {"period"}),
      kind_row<&M2Measure::create>("M2Measure", {"period", "risk_free", "benchmark_stddev"}),
      kind_row<&MaxDrawdown::create>("MaxDrawdown", {"period"}),
      kind_row<&OmegaRatio::create>("OmegaRatio", {"period", "threshold"}),
      kind_row<&PainIndex::create>("PainIndex", {"period"}),
      kind_row<&ProfitFactor::create>("ProfitFactor", {"period"}),
      kind_row<&RecoveryFactor::create>("RecoveryFactor"),
      kind_row<&ReturnToUlcerRatio::create>("ReturnToUlcerRatio", {"period"}),
      kind_row<&SharpeRatio::create>("SharpeRatio", {"period", "risk_free"}),
      kind_row<&SortinoRatio::create>("SortinoRatio", {"period", "target"}),
      kind_row<&SterlingRatio::create>("SterlingRatio", {"period"}),
      kind_row<&TailRatio::create>("TailRatio", {"period"}),
      kind_row<&UpsidePotentialRatio::create>("UpsidePotentialRatio", {"period", "mar"}),
      kind_row<&ValueAtRisk::create>("ValueAtRisk", {"period", "confidence"}),
      kind_row<&WinRate::create>("WinRate", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
