#include "factory/registry.h"
#include "indicators/market_breadth.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&create_plain<AbsoluteNetAdvances>>("AbsoluteNetAdvances"),
    kind_row<&create_plain<AdvanceDecline>>("AdvanceDecline"),
    kind_row<&create_plain<AdvancersToDecliners>>("AdvancersToDecliners"),
    kind_row<&BreadthThrust::create>("BreadthThrust", {"period"}),
    kind_row<&create_plain<FlaggedPercent>>("BullishPercentIndex"),
    kind_row<&create_plain<CumulativeVolumeIndex>>("CumulativeVolumeIndex"),
    kind_row<&HighLowIndex::create>("HighLowIndex", {"period"}),
    kind_row<&create_plain<IssuesToVolumeRatio>>("IssuesToVolumeRatio"),
    kind_row<&create_plain<McClellanSummationIndex>>("McClellanSummationIndex"),
    kind_row<&create_plain<CumulativeVolumeIndex>>("NetUpVolumeLine"),
    kind_row<&create_plain<NewHighsNewLows>>("NewHighsNewLows"),
    kind_row<&create_plain<FlaggedPercent>>("PercentAboveMa"),
    kind_row<&create_plain<RatioAdjustedBreadthOscillator>>("RatioAdjustedBreadthOscillator"),
    kind_row<&create_plain<TickIndex>>("TickIndex"),
    kind_row<&create_plain<UpDownVolumeRatio>>("UpDownVolumeRatio"),
};

}  // namespace

std::span<const KindEntry> market_breadth_kinds() { return kEntries; }

}  // namespace vsci
