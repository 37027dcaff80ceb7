#include "factory/registry.h"
#include "indicators/cycle_filters.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    {"Autocorrelation", "pp",
     [](const ParamValue* v) { return make_close_indicator(Autocorrelation::create(v[0].count, v[1].count)); }},
    {"AutocorrelationPeriodogram", "pp",
     [](const ParamValue* v) {
       return make_close_indicator(AutocorrelationPeriodogram::create(v[0].count, v[1].count));
     }},
    {"BandpassFilter", "pf",
     [](const ParamValue* v) { return make_close_indicator(BandpassFilter::create(v[0].count, v[1].real)); }},
    {"CenterOfGravity", "p",
     [](const ParamValue* v) { return make_close_indicator(CenterOfGravity::create(v[0].count)); }},
    {"CorrelationTrendIndicator", "p",
     [](const ParamValue* v) { return make_close_indicator(CorrelationTrendIndicator::create(v[0].count)); }},
    {"CyberneticCycle", "p",
     [](const ParamValue* v) { return make_close_indicator(CyberneticCycle::create(v[0].count)); }},
    {"Decycler", "p", [](const ParamValue* v) { return make_close_indicator(Decycler::create(v[0].count)); }},
    {"DecyclerOscillator", "pp",
     [](const ParamValue* v) { return make_close_indicator(DecyclerOscillator::create(v[0].count, v[1].count)); }},
    {"EhlersStochastic", "p",
     [](const ParamValue* v) { return make_close_indicator(EhlersStochastic::create(v[0].count)); }},
    {"EmpiricalModeDecomposition", "pf",
     [](const ParamValue* v) {
       return make_close_indicator(EmpiricalModeDecomposition::create(v[0].count, v[1].real));
     }},
    {"EvenBetterSinewave", "pp",
     [](const ParamValue* v) { return make_close_indicator(EvenBetterSinewave::create(v[0].count, v[1].count)); }},
    {"FisherTransform", "p",
     [](const ParamValue* v) { return make_close_indicator(FisherTransform::create(v[0].count)); }},
    {"HighpassFilter", "p",
     [](const ParamValue* v) { return make_close_indicator(HighpassFilter::create(v[0].count)); }},
    {"HurstExponent", "pp",
     [](const ParamValue* v) { return make_close_indicator(HurstExponent::create(v[0].count, v[1].count)); }},
    {"InverseFisherTransform", "f",
     [](const ParamValue* v) { return make_close_indicator(InverseFisherTransform::create(v[0].real)); }},
    {"Reflex", "p",
     [](const ParamValue* v) { return make_close_indicator(Reflex::create(v[0].count, Reflex::Measure::Reflex)); }},
    {"SuperSmoothedHighpass", "pp",
     [](const ParamValue* v) {
       return make_close_indicator(SuperSmoothedHighpass::create(v[0].count, v[1].count));
     }},
    {"SuperSmoother", "p",
     [](const ParamValue* v) { return make_close_indicator(SuperSmoother::create(v[0].count)); }},
    {"Trendflex", "p",
     [](const ParamValue* v) {
       return make_close_indicator(Reflex::create(v[0].count, Reflex::Measure::Trendflex));
     }},
};

}  // namespace

std::span<const KindEntry> cycle_filter_kinds() { return kEntries; }

}  // namespace vsci
