#include "factory/registry.h"
#include "indicators/money_flow.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&BetterVolume::create>("BetterVolume"),
    kind_row<&ChaikinMoneyFlow::create>("ChaikinMoneyFlow"),
    kind_row<&ChaikinOscillator::create>("ChaikinOscillator"),
    kind_row<&DemandIndex::create>("DemandIndex"),
    kind_row<&EaseOfMovement::create>("EaseOfMovement"),
    kind_row<&Evwma::create>("Evwma"),
    kind_row<&ForceIndex::create>("ForceIndex"),
    kind_row<&Kvo::create>("Kvo"),
    kind_row<&Mfi::create>("Mfi"),
    kind_row<&RollingVwap::create>("RollingVwap"),
    kind_row<&SessionVwap::create>("SessionVwap"),
    kind_row<&TradeVolumeIndex::create>("TradeVolumeIndex"),
    kind_row<&Tsv::create>("Tsv"),
};

}  // namespace

std::span<const KindEntry> money_flow_kinds() { return kEntries; }

}  // namespace vsci
