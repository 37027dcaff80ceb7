#include "factory/registry.h"
#include "indicators/derivatives.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&create_plain<FundingBasis>>("FundingBasis"),
    kind_row<&FundingImpliedApr::create>("FundingImpliedApr", {"intervals_per_year"}, {1095}),
    kind_row<&create_plain<FundingRate>>("FundingRate"),
    kind_row<&FundingRateMean::create>("FundingRateMean", {"period"}),
    kind_row<&FundingRateZScore::create>("FundingRateZScore", {"period"}),
    kind_row<&create_plain<FuturesMarkBasis>>("FuturesMarkBasis"),
    kind_row<&OIPriceDivergence::create>("OIPriceDivergence", {"period"}),
    kind_row<&create_plain<OIWeighted>>("OIWeighted"),
    kind_row<&create_plain<LiquidationFeatures>>("LiquidationFeatures"),
    kind_row<&create_plain<LongShortRatio>>("LongShortRatio"),
    kind_row<&create_plain<OpenInterestDelta>>("OpenInterestDelta"),
    kind_row<&OpenInterestMomentum::create>("OpenInterestMomentum", {"period"}),
    kind_row<&create_plain<OpenInterestToVolume>>("OpenInterestToVolume"),
    kind_row<&create_plain<FundingBasis>>("PerpetualPremiumIndex"),
    kind_row<&create_plain<TakerBuySellRatio>>("TakerBuySellRatio"),
    kind_row<&create_plain<TermStructureBasis>>("TermStructureBasis"),
};

}  // namespace

std::span<const KindEntry> derivatives_kinds() { return kEntries; }

}  // namespace vsci
