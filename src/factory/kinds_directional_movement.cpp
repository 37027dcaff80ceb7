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

const KindEntry kEntries[] = {
    kind_row<&Adxr::create>("Adxr"),
    kind_row<&create_atr>("Atr"),
    kind_row<&AtrTrailingStop::create>("AtrTrailingStop", {10, 2.5}),
    kind_row<&ChoppinessIndex::create>("ChoppinessIndex", {14}),
    kind_row<&create_directional<Measure::Dx>>("Dx"),
    kind_row<&create_directional<Measure::MinusDi>>("MinusDi"),
    kind_row<&create_directional<Measure::MinusDm>>("MinusDm"),
    kind_row<&create_natr>("Natr"),
    kind_row<&create_directional<Measure::PlusDi>>("PlusDi"),
    kind_row<&create_directional<Measure::PlusDm>>("PlusDm"),
};

}  // namespace

std::span<const KindEntry> directional_movement_kinds() { return kEntries; }

}  // namespace vsci
