#include "factory/registry.h"
#include "indicators/demark_counts.h"

namespace vsci {

namespace {

// DumplingTop and FryPanBottom share one kind type, mirrored.
Expected<RoundedTurn, IndicatorError> create_dumpling_top(std::uint64_t n) {
  return RoundedTurn::create(n, RoundedTurn::Shape::Top, "dumpling top needs period >= 5");
}
Expected<RoundedTurn, IndicatorError> create_fry_pan_bottom(std::uint64_t n) {
  return RoundedTurn::create(n, RoundedTurn::Shape::Bottom, "frying pan bottom needs period >= 5");
}

const KindEntry kEntries[] = {
    kind_row<&create_dumpling_top>("DumplingTop", {8}),
    kind_row<&create_fry_pan_bottom>("FryPanBottom", {8}),
    kind_row<&TdCombo::create>("TdCombo", {4, 9, 2, 13}),
    kind_row<&TdCountdown::create>("TdCountdown", {4, 9, 2, 13}),
    kind_row<&TdDWave::create>("TdDWave", {2}),
    kind_row<&TdDeMarker::create>("TdDeMarker", {13}),
    kind_row<&TdLines::create>("TdLines", {4, 2}),
    kind_row<&TdMovingAverage::create>("TdMovingAverage", {5, 13}),
    kind_row<&TdPressure::create>("TdPressure", {10}),
    kind_row<&TdRei::create>("TdRei", {5}),
    kind_row<&TdRiskLevel::create>("TdRiskLevel", {4, 2}),
    kind_row<&TdSequential::create>("TdSequential", {4, 9, 2, 13}),
    kind_row<&TdSetup::create>("TdSetup", {4, 9}),
};

}  // namespace

std::span<const KindEntry> demark_count_kinds() { return kEntries; }

}  // namespace vsci
