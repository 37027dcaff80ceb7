#include "factory/registry.h"
#include "indicators/pair_statistics.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&Alpha::create>("Alpha"),
    kind_row<&Beta::create>("Beta"),
    kind_row<&BetaNeutralSpread::create>("BetaNeutralSpread"),
    kind_row<&create_plain<CloseToReferenceRatio>>("CloseToReferenceRatio"),
    kind_row<&DistanceSsd::create>("DistanceSsd"),
    kind_row<&InformationRatio::create>("InformationRatio"),
    kind_row<&KendallTau::create>("KendallTau"),
    kind_row<&PairwiseBeta::create>("PairwiseBeta"),
    kind_row<&PearsonCorrelation::create>("PearsonCorrelation"),
    kind_row<&RelativeStrengthAB::create>("RelativeStrengthAB"),
    kind_row<&RollingCorrelation::create>("RollingCorrelation"),
    kind_row<&RollingCovariance::create>("RollingCovariance"),
    kind_row<&SpearmanCorrelation::create>("SpearmanCorrelation"),
    kind_row<&TreynorRatio::create>("TreynorRatio"),
};

}  // namespace

std::span<const KindEntry> pair_statistic_kinds() { return kEntries; }

}  // namespace vsci
