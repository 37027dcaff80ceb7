#include "factory/registry.h"
#include "indicators/directional_movement.h"

namespace vsci {

namespace {

// The five readings of the smoothed moves share one kind type.
template <DirectionalIndex::Measure M>
Expected<DirectionalIndex, IndicatorError> create_directional(std::uint64_t n) {
  return DirectionalIndex::create(n, M);
}

using Measure = DirectionalIndex::Measure;

Expected<AverageTrueRange, IndicatorError> create_atr(std::uint64_t n) { return AverageTrueRange::create(n, false); }
Expected<AverageTrueRange, IndicatorError> create_natr(std::uint64_t n) { return AverageTrueRange::create(n, true); }

}  // namespace

std::span<const KindEntry> directional_movement_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&Adxr::create>("Adxr", {"period"}),
      kind_row<&create_atr>("Atr", {"period"}),
      kind_row<&AtrTrailingStop::create>("AtrTrailingStop", {"atr_period", "multiplier"}, {10, 2.5}),
      kind_row<&ChoppinessIndex::create>("ChoppinessIndex", {"period"}, {14}),
      kind_row<&create_directional<Measure::Dx>>("Dx", {"period"}),
      kind_row<&create_directional<Measure::MinusDi>>("MinusDi", {"period"}),
      kind_row<&create_directional<Measure::MinusDm>>("MinusDm", {"period"}),
      kind_row<&create_natr>("Natr", {"period"}),
      kind_row<&create_directional<Measure::PlusDi>>("PlusDi", {"period"}),
      kind_row<&create_directional<Measure::PlusDm>>("PlusDm", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
