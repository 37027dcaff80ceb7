// Registry rows of the moving averages: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/moving_averages.h"

namespace vsci {

std::span<const KindEntry> moving_average_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&Ema::create>("Ema", {"period"}),
      kind_row<&ExponentialHma::create>("ExponentialHma", {"period"}),
      kind_row<&GaussianWeightedMa::create>("GaussianWeightedMa", {"period", "offset", "sigma"}),
      kind_row<&GeneralizedDema::create>("GeneralizedDema", {"period", "volume_factor"}),
      kind_row<&GeometricMa::create>("GeometricMa", {"period"}),
      kind_row<&Hma::create>("Hma", {"period"}),
      kind_row<&MedianMa::create>("MedianMa", {"period"}),
      kind_row<&MidPoint::create>("MidPoint", {"period"}),
      kind_row<&SeededRecursiveMa::create>("SeededRecursiveMa", {"period"}),
      kind_row<&SineWeightedMa::create>("SineWeightedMa", {"period"}),
      kind_row<&Sma::create>("Sma", {"period"}),
      kind_row<&T3::create>("T3", {"period", "volume_factor"}),
      kind_row<&ThreeStageEma::create>("ThreeStageEma", {"period"}),
      kind_row<&Trima::create>("Trima", {"period"}),
      kind_row<&TwoStageEma::create>("TwoStageEma", {"period"}),
      kind_row<&Wma::create>("Wma", {"period"}),
      kind_row<&Zlema::create>("Zlema", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
