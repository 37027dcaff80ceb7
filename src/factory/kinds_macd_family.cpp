// Registry rows of the MACD family and the momentum composites. MacdIndicator
// and MacdFix share one kind type; the alias "Macd" is resolved by the factory.
#include "factory/registry.h"
#include "indicators/macd_family.h"

namespace vsci {

namespace {

Expected<MacdIndicator, IndicatorError> create_macd(std::uint64_t fast, std::uint64_t slow, std::uint64_t signal) {
  return MacdIndicator::from(UnfusedMacdCore::create(fast, slow, signal));
}
Expected<MacdIndicator, IndicatorError> create_macd_fix(std::uint64_t signal) {
  return MacdIndicator::from(UnfusedMacdCore::create_fixed(signal));
}

}  // namespace

std::span<const KindEntry> macd_family_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&Kst::create>("Kst", {"roc1", "roc2", "roc3", "roc4", "sma1", "sma2", "sma3", "sma4", "signal"},
                             {10, 15, 20, 30, 10, 10, 10, 15, 9}),
      kind_row<&create_macd_fix>("MacdFix", {"signal"}, {9}),
      kind_row<&create_macd>("MacdIndicator", {"fast", "slow", "signal"}, {12, 26, 9}),
      kind_row<&Qqe::create>("Qqe", {"rsi_period", "smoothing", "factor"}, {14, 5, 4.236}),
      kind_row<&VolumeWeightedMacd::create>("VolumeWeightedMacd", {"fast", "slow", "signal"}, {12, 26, 9}),
      kind_row<&WaveTrend::create>("WaveTrend", {"channel_period", "average_period", "signal"}, {10, 21, 4}),
      kind_row<&ZeroLagMacd::create>("ZeroLagMacd", {"fast", "slow", "signal"}, {12, 26, 9}),
  };
  return kEntries;
}

}  // namespace vsci
