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

}  // namespace

std::span<const KindEntry> demark_count_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_dumpling_top>("DumplingTop", {"period"}, {8}),
      kind_row<&create_fry_pan_bottom>("FryPanBottom", {"period"}, {8}),
      kind_row<&TdCombo::create>("TdCombo",
                                 {"setup_look_back", "setup_length", "count_look_back", "target"}, {4, 9, 2, 13}),
      kind_row<&TdCountdown::create>("TdCountdown",
                                     {"setup_look_back", "setup_length", "count_look_back", "target"}, {4, 9, 2, 13}),
      kind_row<&TdDWave::create>("TdDWave", {"period"}, {2}).with_first_value(FirstValue::WhenDataAllows),
      kind_row<&TdDeMarker::create>("TdDeMarker", {"period"}, {13}),
      kind_row<&TdLines::create>("TdLines", {"look_back", "run_length"}, {4, 2}).with_first_value(FirstValue::WhenDataAllows),
      kind_row<&TdMovingAverage::create>("TdMovingAverage", {"short_period", "long_period"}, {5, 13}),
      kind_row<&TdPressure::create>("TdPressure", {"period"}, {10}),
      kind_row<&TdRei::create>("TdRei", {"period"}, {5}),
      kind_row<&TdRiskLevel::create>("TdRiskLevel", {"look_back", "run_length"}, {4, 2})
          .with_first_value(FirstValue::WhenDataAllows),
      kind_row<&TdSequential::create>("TdSequential",
                                      {"setup_look_back", "setup_length", "count_look_back", "target"}, {4, 9, 2, 13}),
      kind_row<&TdSetup::create>("TdSetup", {"look_back", "cap"}, {4, 9}),
  };
  return kEntries;
}

}  // namespace vsci
