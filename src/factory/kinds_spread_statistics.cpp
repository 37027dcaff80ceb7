#include "factory/registry.h"
#include "indicators/spread_statistics.h"

namespace vsci {

std::span<const KindEntry> spread_statistic_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&KalmanPairHedge::create>("KalmanPairHedge", {"delta", "observation_var"}, {1e-4, 1.0}),
      kind_row<&OuHalfLife::create>("OuHalfLife", {"period"}, {20}),
      kind_row<&PairSpreadZScore::create>("PairSpreadZScore", {"beta_period", "z_period"}),
      kind_row<&SpreadAr1Coefficient::create>("SpreadAr1Coefficient", {"period"}, {20}),
      kind_row<&SpreadBollingerBands::create>("SpreadBollingerBands", {"period", "num_std"}, {20, 2.0}),
      kind_row<&SpreadHurst::create>("SpreadHurst", {"period"}, {16}),
      kind_row<&VarianceRatio::create>("VarianceRatio", {"period", "q"}, {20, 4}),
  };
  return kEntries;
}

}  // namespace vsci
