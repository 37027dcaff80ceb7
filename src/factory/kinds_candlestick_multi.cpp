#include "factory/registry.h"
#include "indicators/candlestick_multi.h"

namespace vsci {

std::span<const KindEntry> candlestick_multi_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<AbandonedBaby>>("AbandonedBaby"),
      kind_row<&create_plain<AdvanceBlock>>("AdvanceBlock"),
      kind_row<&create_plain<Breakaway>>("Breakaway"),
      kind_row<&create_plain<CloseAtPriorLowPattern>>("CloseAtPriorLowPattern"),
      kind_row<&create_plain<ConcealingBabySwallow>>("ConcealingBabySwallow"),
      kind_row<&create_plain<Counterattack>>("Counterattack"),
      kind_row<&create_plain<DojiStar>>("DojiStar"),
      kind_row<&create_plain<DownsideGapThreeMethods>>("DownsideGapThreeMethods"),
      kind_row<&create_plain<Engulfing>>("Engulfing"),
      kind_row<&create_plain<EqualExtremesPair>>("EqualExtremesPair"),
      kind_row<&create_plain<EveningDojiStar>>("EveningDojiStar"),
      kind_row<&create_plain<FallingThreeMethods>>("FallingThreeMethods"),
      kind_row<&create_plain<GapSideBySideWhite>>("GapSideBySideWhite"),
      kind_row<&create_plain<Harami>>("Harami"),
      kind_row<&create_plain<HaramiCross>>("HaramiCross"),
      kind_row<&create_plain<Hikkake>>("Hikkake"),
      kind_row<&create_plain<HikkakeModified>>("HikkakeModified"),
      kind_row<&create_plain<HomingPigeon>>("HomingPigeon"),
      kind_row<&create_plain<IdenticalThreeCrows>>("IdenticalThreeCrows"),
      kind_row<&create_plain<InNeck>>("InNeck"),
      kind_row<&create_plain<Kicking>>("Kicking"),
      kind_row<&create_plain<KickingByLength>>("KickingByLength"),
      kind_row<&create_plain<LadderBottom>>("LadderBottom"),
      kind_row<&create_plain<MatHold>>("MatHold"),
      kind_row<&create_plain<MatchingLow>>("MatchingLow"),
      kind_row<&create_plain<MorningDojiStar>>("MorningDojiStar"),
      kind_row<&create_plain<MorningEveningStar>>("MorningEveningStar"),
      kind_row<&create_plain<PiercingDarkCloud>>("PiercingDarkCloud"),
      kind_row<&create_plain<RisingThreeMethods>>("RisingThreeMethods"),
      kind_row<&create_plain<SeparatingLines>>("SeparatingLines"),
      kind_row<&create_plain<StalledPattern>>("StalledPattern"),
      kind_row<&create_plain<StickSandwich>>("StickSandwich"),
      kind_row<&create_plain<TasukiGap>>("TasukiGap"),
      kind_row<&create_plain<ThreeDojiGapStar>>("ThreeDojiGapStar"),
      kind_row<&create_plain<ThreeInside>>("ThreeInside"),
      kind_row<&create_plain<ThreeLineStrike>>("ThreeLineStrike"),
      kind_row<&create_plain<ThreeOutside>>("ThreeOutside"),
      kind_row<&create_plain<ThreeStairStepCandles>>("ThreeStairStepCandles"),
      kind_row<&create_plain<ThreeStarsInSouth>>("ThreeStarsInSouth"),
      kind_row<&create_plain<Thrusting>>("Thrusting"),
      kind_row<&create_plain<TowerTopBottom>>("TowerTopBottom"),
      kind_row<&create_plain<TwoCrows>>("TwoCrows"),
      kind_row<&create_plain<UniqueThreeRiver>>("UniqueThreeRiver"),
      kind_row<&create_plain<UpsideGapThreeMethods>>("UpsideGapThreeMethods"),
      kind_row<&create_plain<UpsideGapTwoCrows>>("UpsideGapTwoCrows"),
  };
  return kEntries;
}

}  // namespace vsci
