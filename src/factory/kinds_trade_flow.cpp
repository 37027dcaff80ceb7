#include "factory/registry.h"
#include "indicators/trade_flow.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&AmihudIlliquidity::create>("AmihudIlliquidity"),
    kind_row<&create_plain<CumulativeVolumeDelta>>("CumulativeVolumeDelta"),
    kind_row<&KylesLambda::create>("KylesLambda"),
    kind_row<&Pin::create>("Pin"),
    kind_row<&RealizedSpread::create>("RealizedSpread"),
    kind_row<&RollMeasure::create>("RollMeasure"),
    kind_row<&create_plain<SignedVolume>>("SignedVolume"),
    kind_row<&TradeImbalance::create>("TradeImbalance"),
    kind_row<&TradeSignAutocorrelation::create>("TradeSignAutocorrelation"),
    kind_row<&create_plain<TradeToMidSpreadBps>>("TradeToMidSpreadBps"),
    // Buckets of about one bar's volume, so the window fills in a few bars.
    kind_row<&Vpin::create>("Vpin", {40, 5}),
};

}  // namespace

std::span<const KindEntry> trade_flow_kinds() { return kEntries; }

}  // namespace vsci
