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

const KindEntry kEntries[] = {
    kind_row<&Autocorrelation::create>("Autocorrelation", {20, 3}),
    kind_row<&AutocorrelationPeriodogram::create>("AutocorrelationPeriodogram"),
    kind_row<&BandpassFilter::create>("BandpassFilter"),
    kind_row<&CenterOfGravity::create>("CenterOfGravity"),
    kind_row<&CorrelationTrendIndicator::create>("CorrelationTrendIndicator"),
    kind_row<&CyberneticCycle::create>("CyberneticCycle"),
    kind_row<&Decycler::create>("Decycler"),
    kind_row<&DecyclerOscillator::create>("DecyclerOscillator"),
    kind_row<&EhlersStochastic::create>("EhlersStochastic"),
    kind_row<&EmpiricalModeDecomposition::create>("EmpiricalModeDecomposition"),
    kind_row<&EvenBetterSinewave::create>("EvenBetterSinewave"),
    kind_row<&FisherTransform::create>("FisherTransform"),
    kind_row<&HighpassFilter::create>("HighpassFilter"),
    kind_row<&HurstExponent::create>("HurstExponent", {32, 4}),
    kind_row<&InverseFisherTransform::create>("InverseFisherTransform"),
    kind_row<&create_reflex>("Reflex"),
    kind_row<&SuperSmoothedHighpass::create>("SuperSmoothedHighpass"),
    kind_row<&SuperSmoother::create>("SuperSmoother"),
    kind_row<&create_trendflex>("Trendflex"),
};

}  // namespace

std::span<const KindEntry> cycle_filter_kinds() { return kEntries; }

}  // namespace vsci
