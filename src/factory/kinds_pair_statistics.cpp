#include "factory/registry.h"
#include "indicators/pair_statistics.h"

namespace vsci {

std::span<const KindEntry> pair_statistic_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&Alpha::create>("Alpha", {"period", "risk_free"}),
      kind_row<&Beta::create>("Beta", {"period"}),
      kind_row<&BetaNeutralSpread::create>("BetaNeutralSpread", {"period"}),
      kind_row<&create_plain<CloseToReferenceRatio>>("CloseToReferenceRatio"),
      kind_row<&DistanceSsd::create>("DistanceSsd", {"period"}),
      kind_row<&InformationRatio::create>("InformationRatio", {"period"}),
      kind_row<&KendallTau::create>("KendallTau", {"period"}),
      kind_row<&PairwiseBeta::create>("PairwiseBeta", {"period"}),
      kind_row<&PearsonCorrelation::create>("PearsonCorrelation", {"period"}),
      kind_row<&RelativeStrengthAB::create>("RelativeStrengthAB", {"average_period", "rsi_period"}),
      kind_row<&RollingCorrelation::create>("RollingCorrelation", {"period"}),
      kind_row<&RollingCovariance::create>("RollingCovariance", {"period"}),
      kind_row<&SpearmanCorrelation::create>("SpearmanCorrelation", {"period"}),
      kind_row<&TreynorRatio::create>("TreynorRatio", {"period", "risk_free"}),
  };
  return kEntries;
}

}  // namespace vsci
