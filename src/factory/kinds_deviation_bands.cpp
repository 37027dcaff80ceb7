#include "factory/registry.h"
#include "indicators/deviation_bands.h"

namespace vsci {

std::span<const KindEntry> deviation_band_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&BollingerBands::create>("BollingerBands", {"period", "multiplier"}, {14, 2.0}),
      kind_row<&DoubleBollinger::create>("DoubleBollinger", {"period", "k_inner", "k_outer"}, {14, 1.0, 2.0}),
      kind_row<&RegressionBands::create_channel>("LinRegChannel", {"period", "multiplier"}, {14, 2.0}),
      kind_row<&ProjectionBands::create>("ProjectionBands", {"period"}, {10}),
      kind_row<&QuartileBands::create>("QuartileBands", {"period"}, {12}),
      kind_row<&RegressionBands::create_standard_error>("StandardErrorBands", {"period", "multiplier"}, {14, 2.0}),
      kind_row<&VwapStdDevBands::create>("VwapStdDevBands", {"multiplier"}, {2.0}),
  };
  return kEntries;
}

}  // namespace vsci
