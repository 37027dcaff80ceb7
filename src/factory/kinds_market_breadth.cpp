#include "factory/registry.h"
#include "indicators/market_breadth.h"

namespace vsci {

std::span<const KindEntry> market_breadth_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<AbsoluteNetAdvances>>("AbsoluteNetAdvances").fed_by(Feed::CrossSection),
      kind_row<&create_plain<AdvanceDecline>>("AdvanceDecline").fed_by(Feed::CrossSection),
      kind_row<&create_plain<AdvancersToDecliners>>("AdvancersToDecliners").fed_by(Feed::CrossSection),
      kind_row<&BreadthThrust::create>("BreadthThrust", {"period"}).fed_by(Feed::CrossSection),
      kind_row<&create_plain<FlaggedPercent>>("BullishPercentIndex").fed_by(Feed::CrossSection),
      kind_row<&create_plain<CumulativeVolumeIndex>>("CumulativeVolumeIndex").fed_by(Feed::CrossSection),
      kind_row<&HighLowIndex::create>("HighLowIndex", {"period"}).fed_by(Feed::CrossSection),
      kind_row<&create_plain<IssuesToVolumeRatio>>("IssuesToVolumeRatio").fed_by(Feed::CrossSection),
      kind_row<&create_plain<McClellanSummationIndex>>("McClellanSummationIndex").fed_by(Feed::CrossSection),
      kind_row<&create_plain<CumulativeVolumeIndex>>("NetUpVolumeLine").fed_by(Feed::CrossSection),
      kind_row<&create_plain<NewHighsNewLows>>("NewHighsNewLows").fed_by(Feed::CrossSection),
      kind_row<&create_plain<FlaggedPercent>>("PercentAboveMa").fed_by(Feed::CrossSection),
      kind_row<&create_plain<RatioAdjustedBreadthOscillator>>("RatioAdjustedBreadthOscillator")
          .fed_by(Feed::CrossSection),
      kind_row<&create_plain<TickIndex>>("TickIndex").fed_by(Feed::CrossSection),
      kind_row<&create_plain<UpDownVolumeRatio>>("UpDownVolumeRatio").fed_by(Feed::CrossSection),
  };
  return kEntries;
}

}  // namespace vsci
