#include "factory/registry.h"
#include "indicators/spread_statistics.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&KalmanPairHedge::create>("KalmanPairHedge", {1e-4, 1.0}),
    kind_row<&OuHalfLife::create>("OuHalfLife", {20}),
    kind_row<&PairSpreadZScore::create>("PairSpreadZScore"),
    kind_row<&SpreadAr1Coefficient::create>("SpreadAr1Coefficient", {20}),
    kind_row<&SpreadBollingerBands::create>("SpreadBollingerBands", {20, 2.0}),
    kind_row<&SpreadHurst::create>("SpreadHurst", {16}),
    kind_row<&VarianceRatio::create>("VarianceRatio", {20, 4}),
};

}  // namespace

std::span<const KindEntry> spread_statistic_kinds() { return kEntries; }

}  // namespace vsci
