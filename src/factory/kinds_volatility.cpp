// Registry rows of the volatility kinds: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/volatility.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&BipowerVariation::create>("BipowerVariation"),
    kind_row<&EwmaVolatility::create>("EwmaVolatility"),
    kind_row<&Garch11::create>("Garch11"),
    kind_row<&HistoricalVolatility::create>("HistoricalVolatility"),
    kind_row<&JumpIndicator::create>("JumpIndicator"),
    kind_row<&RealizedVolatility::create>("RealizedVolatility"),
    kind_row<&RviVolatility::create>("RviVolatility"),
    kind_row<&UlcerIndex::create>("UlcerIndex"),
    kind_row<&VolatilityOfVolatility::create>("VolatilityOfVolatility"),
};

}  // namespace

std::span<const KindEntry> volatility_kinds() { return kEntries; }

}  // namespace vsci
