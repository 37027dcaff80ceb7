#include "factory/registry.h"
#include "indicators/td_sequential.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&TdLines::create>("TdLines", {4, 2}),
    kind_row<&TdMovingAverage::create>("TdMovingAverage", {5, 13}),
    kind_row<&TdRiskLevel::create>("TdRiskLevel", {4, 2}),
    kind_row<&TdSequential::create>("TdSequential", {4, 9, 2, 13}),
};

}  // namespace

std::span<const KindEntry> td_sequential_kinds() { return kEntries; }

}  // namespace vsci
