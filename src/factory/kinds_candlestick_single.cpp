#include "factory/registry.h"
#include "indicators/candlestick_single.h"

namespace vsci {

std::span<const KindEntry> candlestick_single_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<BeltHold>>("BeltHold"),
      kind_row<&create_plain<ClosingMarubozu>>("ClosingMarubozu"),
      kind_row<&create_plain<Doji>>("Doji"),
      kind_row<&create_plain<DragonflyDoji>>("DragonflyDoji"),
      kind_row<&create_plain<GravestoneDoji>>("GravestoneDoji"),
      kind_row<&create_plain<Hammer>>("Hammer"),
      kind_row<&create_plain<HangingMan>>("HangingMan"),
      kind_row<&create_plain<HighWave>>("HighWave"),
      kind_row<&create_plain<InvertedHammer>>("InvertedHammer"),
      kind_row<&create_plain<LongLeggedDoji>>("LongLeggedDoji"),
      kind_row<&create_plain<LongLine>>("LongLine").with_first_value(FirstValue::BarAfterWarmup),
      kind_row<&create_plain<Marubozu>>("Marubozu"),
      kind_row<&create_plain<OpeningMarubozu>>("OpeningMarubozu"),
      kind_row<&create_plain<RickshawMan>>("RickshawMan"),
      kind_row<&create_plain<ShootingStar>>("ShootingStar"),
      kind_row<&create_plain<ShortLine>>("ShortLine").with_first_value(FirstValue::BarAfterWarmup),
      kind_row<&create_plain<SmallBodyTwoShadows>>("SmallBodyTwoShadows"),
      kind_row<&create_plain<Takuri>>("Takuri"),
  };
  return kEntries;
}

}  // namespace vsci
