// Registry rows of the RSI family: a row follows from its kind's create and
// names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/cores/cmo_core.h"
#include "indicators/cores/rsi_core.h"
#include "indicators/rsi_family.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&AdaptiveRsi::create>("AdaptiveRsi"),
    kind_row<&AnchoredRsi::create>("AnchoredRsi"),
    kind_row<&CmoCore::create>("Cmo"),
    kind_row<&ConnorsRsi::create>("ConnorsRsi"),
    kind_row<&DynamicLengthRsi::create>("DynamicLengthRsi"),
    kind_row<&FisherRsi::create>("FisherRsi"),
    kind_row<&LaguerreRsi::create>("LaguerreRsi"),
    kind_row<&Rmi::create>("Rmi"),
    kind_row<&Rsi::create>("Rsi"),
    kind_row<&Rsx::create>("Rsx"),
    kind_row<&SmoothedRsiHistogram::create>("SmoothedRsiHistogram"),
    kind_row<&StochRsi::create>("StochRsi"),
};

}  // namespace

std::span<const KindEntry> rsi_family_kinds() { return kEntries; }

}  // namespace vsci
