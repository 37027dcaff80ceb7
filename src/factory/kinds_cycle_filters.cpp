// Registry rows of the cycle filters; kinds that share one type with a fixed
// argument get a small create of their own here.
#include "factory/registry.h"
#include "indicators/cycle_filters.h"

namespace vsci {

namespace {

// Reflex and Trendflex share one kind type that differs only in its measure.
Expected<Reflex, IndicatorError> create_reflex(std::uint64_t period) {
  return Reflex::create(period, Reflex::Measure::Reflex);
}
Expected<Reflex, IndicatorError> create_trendflex(std::uint64_t period) {
  return Reflex::create(period, Reflex::Measure::Trendflex);
}

}  // namespace

std::span<const KindEntry> cycle_filter_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&Autocorrelation::create>("Autocorrelation", {"period", "lag"}, {20, 3}),
      kind_row<&AutocorrelationPeriodogram::create>("AutocorrelationPeriodogram", {"min_period", "max_period"}),
      kind_row<&BandpassFilter::create>("BandpassFilter", {"period", "bandwidth"}),
      kind_row<&CenterOfGravity::create>("CenterOfGravity", {"period"}),
      kind_row<&CorrelationTrendIndicator::create>("CorrelationTrendIndicator", {"period"}),
      kind_row<&CyberneticCycle::create>("CyberneticCycle", {"period"}),
      kind_row<&Decycler::create>("Decycler", {"period"}),
      kind_row<&DecyclerOscillator::create>("DecyclerOscillator", {"fast", "slow"}),
      kind_row<&EhlersStochastic::create>("EhlersStochastic", {"period"}),
      kind_row<&EmpiricalModeDecomposition::create>("EmpiricalModeDecomposition", {"period", "fraction"}),
      kind_row<&EvenBetterSinewave::create>("EvenBetterSinewave", {"hp_period", "smoother_length"}),
      kind_row<&FisherTransform::create>("FisherTransform", {"period"}),
      kind_row<&HighpassFilter::create>("HighpassFilter", {"period"}),
      kind_row<&HurstExponent::create>("HurstExponent", {"period", "chunks"}, {32, 4}),
      kind_row<&InverseFisherTransform::create>("InverseFisherTransform", {"scale"}),
      kind_row<&create_reflex>("Reflex", {"period"}),
      kind_row<&SuperSmoothedHighpass::create>("SuperSmoothedHighpass", {"smoother_length", "hp_period"}),
      kind_row<&SuperSmoother::create>("SuperSmoother", {"period"}),
      kind_row<&create_trendflex>("Trendflex", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
