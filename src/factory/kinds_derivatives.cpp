#include "factory/registry.h"
#include "indicators/derivatives.h"

namespace vsci {

std::span<const KindEntry> derivatives_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<FundingBasis>>("FundingBasis").fed_by(Feed::Derivatives),
      kind_row<&FundingImpliedApr::create>("FundingImpliedApr", {"intervals_per_year"}, {1095}).fed_by(Feed::Derivatives),
      kind_row<&create_plain<FundingRate>>("FundingRate").fed_by(Feed::Derivatives),
      kind_row<&FundingRateMean::create>("FundingRateMean", {"period"}).fed_by(Feed::Derivatives),
      kind_row<&FundingRateZScore::create>("FundingRateZScore", {"period"}).fed_by(Feed::Derivatives),
      kind_row<&create_plain<FuturesMarkBasis>>("FuturesMarkBasis").fed_by(Feed::Derivatives),
      kind_row<&OIPriceDivergence::create>("OIPriceDivergence", {"period"}).fed_by(Feed::Derivatives),
      kind_row<&create_plain<OIWeighted>>("OIWeighted").fed_by(Feed::Derivatives),
      kind_row<&create_plain<LiquidationFeatures>>("LiquidationFeatures").fed_by(Feed::Derivatives),
      kind_row<&create_plain<LongShortRatio>>("LongShortRatio").fed_by(Feed::Derivatives),
      kind_row<&create_plain<OpenInterestDelta>>("OpenInterestDelta").fed_by(Feed::Derivatives),
      kind_row<&OpenInterestMomentum::create>("OpenInterestMomentum", {"period"}).fed_by(Feed::Derivatives),
      kind_row<&create_plain<OpenInterestToVolume>>("OpenInterestToVolume").fed_by(Feed::Derivatives),
      kind_row<&create_plain<FundingBasis>>("PerpetualPremiumIndex").fed_by(Feed::Derivatives),
      kind_row<&create_plain<TakerBuySellRatio>>("TakerBuySellRatio").fed_by(Feed::Derivatives),
      kind_row<&create_plain<TermStructureBasis>>("TermStructureBasis").fed_by(Feed::Derivatives),
  };
  return kEntries;
}

}  // namespace vsci
