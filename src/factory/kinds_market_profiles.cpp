// Registry rows of the window profiles. VolumeProfile and TpoProfile are one
// kind; ValueArea and CompositeProfile one kind reporting its bounds two ways.
#include "factory/registry.h"
#include "indicators/market_profiles.h"

namespace vsci {

namespace {

Expected<ValueAreaProfile, IndicatorError> create_value_area(std::uint64_t n, std::uint64_t bins, double fraction) {
  return ValueAreaProfile::create(n, bins, fraction, ValueAreaProfile::Bounds::OuterEdges);
}
Expected<ValueAreaProfile, IndicatorError> create_composite_profile(std::uint64_t n, std::uint64_t bins,
                                                                    double fraction) {
  return ValueAreaProfile::create(n, bins, fraction, ValueAreaProfile::Bounds::OuterCentres);
}

}  // namespace

std::span<const KindEntry> market_profile_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_composite_profile>("CompositeProfile", {"period", "bins", "fraction"}, {20, 12, 0.7}),
      kind_row<&HighLowVolumeNodes::create>("HighLowVolumeNodes", {"period", "bins"}, {20, 12}),
      kind_row<&WindowRange::create>("TpoProfile", {"period", "bins"}),
      kind_row<&create_value_area>("ValueArea", {"period", "bins", "fraction"}, {20, 12, 0.7}),
      kind_row<&WindowRange::create>("VolumeProfile", {"period", "bins"}),
      kind_row<&VolumeWeightedSr::create>("VolumeWeightedSr", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
