// Registry rows of the RSI family: a row follows from its kind's create and
// names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/cores/cmo_core.h"
#include "indicators/cores/rsi_core.h"
#include "indicators/rsi_family.h"

namespace vsci {

std::span<const KindEntry> rsi_family_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&AdaptiveRsi::create>("AdaptiveRsi", {"period"}),
      kind_row<&AnchoredRsi::create>("AnchoredRsi"),
      kind_row<&CmoCore::create>("Cmo", {"period"}),
      kind_row<&ConnorsRsi::create>("ConnorsRsi", {"rsi_period", "streak_period", "rank_period"}),
      kind_row<&DynamicLengthRsi::create>("DynamicLengthRsi", {"base_length"}),
      kind_row<&FisherRsi::create>("FisherRsi", {"period"}),
      kind_row<&LaguerreRsi::create>("LaguerreRsi", {"gamma"}),
      kind_row<&Rmi::create>("Rmi", {"period", "momentum_length"}),
      kind_row<&Rsi::create>("Rsi", {"period"}),
      kind_row<&Rsx::create>("Rsx", {"period"}),
      kind_row<&SmoothedRsiHistogram::create>("SmoothedRsiHistogram", {"period", "smoothing1", "smoothing2", "signal"}),
      kind_row<&StochRsi::create>("StochRsi", {"rsi_period", "stoch_period"}),
  };
  return kEntries;
}

}  // namespace vsci
