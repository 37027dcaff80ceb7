// Registry rows of the volatility kinds: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/volatility.h"

namespace vsci {

std::span<const KindEntry> volatility_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&BipowerVariation::create>("BipowerVariation", {"period"}),
      kind_row<&EwmaVolatility::create>("EwmaVolatility", {"lambda"}),
      kind_row<&Garch11::create>("Garch11", {"omega", "alpha", "beta"}),
      kind_row<&HistoricalVolatility::create>("HistoricalVolatility", {"period", "periods_per_year"}),
      kind_row<&JumpIndicator::create>("JumpIndicator", {"period", "threshold_sd"}),
      kind_row<&RealizedVolatility::create>("RealizedVolatility", {"period"}),
      kind_row<&RviVolatility::create>("RviVolatility", {"period"}),
      kind_row<&UlcerIndex::create>("UlcerIndex", {"period"}),
      kind_row<&VolatilityOfVolatility::create>("VolatilityOfVolatility", {"period", "vol_window"}),
  };
  return kEntries;
}

}  // namespace vsci
