// Registry rows of the trend-strength kinds: a row follows from its kind's
// create and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/trend_strength.h"

namespace vsci {

std::span<const KindEntry> trend_strength_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&PercentageTrailingStop::create>("PercentageTrailingStop", {"percentage"}),
      kind_row<&PolarizedFractalEfficiency::create>("PolarizedFractalEfficiency", {"period", "smoothing"}),
      kind_row<&RegimeLabel::create>("RegimeLabel", {"vol_period", "look_back"}),
      kind_row<&RenkoTrailingStop::create>("RenkoTrailingStop", {"brick_size"}),
      kind_row<&StepTrailingStop::create>("StepTrailingStop", {"step_size"}),
      kind_row<&TrendLabel::create>("TrendLabel", {"period"}),
      kind_row<&TrendStrengthIndex::create>("TrendStrengthIndex", {"period"}),
      kind_row<&VerticalHorizontalFilter::create>("VerticalHorizontalFilter", {"period"}),
      kind_row<&WavePm::create>("WavePm", {"period", "smoothing"}),
  };
  return kEntries;
}

}  // namespace vsci
