// Registry rows of the candle transforms: none takes a parameter or checks
// anything, so each row is its kind's plain create.
#include "factory/registry.h"
#include "indicators/price_transforms.h"

namespace vsci {

std::span<const KindEntry> price_transform_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<AvgPrice>>("AvgPrice"),
      kind_row<&create_plain<BalanceOfPower>>("BalanceOfPower"),
      kind_row<&create_plain<BodySizePct>>("BodySizePct"),
      kind_row<&create_plain<CloseVsOpen>>("CloseVsOpen"),
      kind_row<&create_plain<HeikinAshi>>("HeikinAshi"),
      kind_row<&create_plain<HighLowRange>>("HighLowRange"),
      kind_row<&create_plain<MedianPrice>>("MedianPrice"),
      kind_row<&create_plain<ShadowRatio>>("ShadowRatio"),
      kind_row<&create_plain<TrueRange>>("TrueRange"),
      kind_row<&create_plain<TypicalPrice>>("TypicalPrice"),
      kind_row<&create_plain<WeightedClose>>("WeightedClose"),
  };
  return kEntries;
}

}  // namespace vsci
