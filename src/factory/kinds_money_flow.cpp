#include "factory/registry.h"
#include "indicators/money_flow.h"

namespace vsci {

std::span<const KindEntry> money_flow_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&BetterVolume::create>("BetterVolume", {"period"}),
      kind_row<&ChaikinMoneyFlow::create>("ChaikinMoneyFlow", {"period"}),
      kind_row<&ChaikinOscillator::create>("ChaikinOscillator", {"fast", "slow"}),
      kind_row<&DemandIndex::create>("DemandIndex", {"period"}),
      kind_row<&EaseOfMovement::create>("EaseOfMovement", {"period"}),
      kind_row<&Evwma::create>("Evwma", {"period"}),
      kind_row<&ForceIndex::create>("ForceIndex", {"period"}),
      kind_row<&Kvo::create>("Kvo", {"fast", "slow"}),
      kind_row<&Mfi::create>("Mfi", {"period"}),
      kind_row<&RollingVwap::create>("RollingVwap", {"period"}),
      kind_row<&SessionVwap::create>("SessionVwap", {"offset_minutes"}),
      kind_row<&TradeVolumeIndex::create>("TradeVolumeIndex", {"min_tick"}),
      kind_row<&Tsv::create>("Tsv", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
