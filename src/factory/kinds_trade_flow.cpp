#include "factory/registry.h"
#include "indicators/trade_flow.h"

namespace vsci {

std::span<const KindEntry> trade_flow_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&AmihudIlliquidity::create>("AmihudIlliquidity", {"period"})
          .with_first_value(FirstValue::WhenDataAllows).fed_by(Feed::Trade),
      kind_row<&create_plain<CumulativeVolumeDelta>>("CumulativeVolumeDelta").fed_by(Feed::Trade),
      kind_row<&KylesLambda::create>("KylesLambda", {"period"})
          .with_first_value(FirstValue::WhenDataAllows).fed_by(Feed::TradeQuote),
      kind_row<&Pin::create>("Pin", {"period"}).with_first_value(FirstValue::WhenDataAllows).fed_by(Feed::Trade),
      kind_row<&RealizedSpread::create>("RealizedSpread", {"period"})
          .with_first_value(FirstValue::WhenDataAllows).fed_by(Feed::TradeQuote),
      kind_row<&RollMeasure::create>("RollMeasure", {"period"})
          .with_first_value(FirstValue::WhenDataAllows).fed_by(Feed::Trade),
      kind_row<&create_plain<SignedVolume>>("SignedVolume").fed_by(Feed::Trade),
      kind_row<&TradeImbalance::create>("TradeImbalance", {"period"})
          .with_first_value(FirstValue::WhenDataAllows).fed_by(Feed::Trade),
      kind_row<&TradeSignAutocorrelation::create>("TradeSignAutocorrelation", {"period"})
          .with_first_value(FirstValue::WhenDataAllows).fed_by(Feed::Trade),
      kind_row<&create_plain<TradeToMidSpreadBps>>("TradeToMidSpreadBps").fed_by(Feed::TradeQuote),
      // Buckets of about one bar's volume, so the window fills in a few bars.
      kind_row<&Vpin::create>("Vpin", {"bucket_volume", "buckets"}, {40, 5})
          .with_first_value(FirstValue::WhenDataAllows).fed_by(Feed::Trade),
  };
  return kEntries;
}

}  // namespace vsci
