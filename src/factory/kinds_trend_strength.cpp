#include "factory/registry.h"
#include "indicators/trend_strength.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    {"PercentageTrailingStop", "f",
     [](const ParamValue* v) { return make_close_indicator(PercentageTrailingStop::create(v[0].real)); }},
    {"PolarizedFractalEfficiency", "pp",
     [](const ParamValue* v) {
       return make_close_indicator(PolarizedFractalEfficiency::create(v[0].count, v[1].count));
     }},
    {"RegimeLabel", "pp",
     [](const ParamValue* v) { return make_close_indicator(RegimeLabel::create(v[0].count, v[1].count)); }},
    {"RenkoTrailingStop", "f",
     [](const ParamValue* v) { return make_close_indicator(RenkoTrailingStop::create(v[0].real)); }},
    {"StepTrailingStop", "f",
     [](const ParamValue* v) { return make_close_indicator(StepTrailingStop::create(v[0].real)); }},
    {"TrendLabel", "p", [](const ParamValue* v) { return make_close_indicator(TrendLabel::create(v[0].count)); }},
    {"TrendStrengthIndex", "p",
     [](const ParamValue* v) { return make_close_indicator(TrendStrengthIndex::create(v[0].count)); }},
    {"VerticalHorizontalFilter", "p",
     [](const ParamValue* v) { return make_close_indicator(VerticalHorizontalFilter::create(v[0].count)); }},
    {"WavePm", "pp",
     [](const ParamValue* v) { return make_close_indicator(WavePm::create(v[0].count, v[1].count)); }},
};

}  // namespace

std::span<const KindEntry> trend_strength_kinds() { return kEntries; }

}  // namespace vsci
