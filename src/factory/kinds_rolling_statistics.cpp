#include "factory/registry.h"
#include "indicators/rolling_statistics.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    {"CoefficientOfVariation", "p",
     [](const ParamValue* v) { return make_close_indicator(CoefficientOfVariation::create(v[0].count)); }},
    {"StdDev", "p", [](const ParamValue* v) { return make_close_indicator(StdDev::create(v[0].count)); }},
    {"Variance", "p", [](const ParamValue* v) { return make_close_indicator(Variance::create(v[0].count)); }},
    {"ZScore", "p", [](const ParamValue* v) { return make_close_indicator(ZScore::create(v[0].count)); }},
};

}  // namespace

std::span<const KindEntry> rolling_statistics_kinds() { return kEntries; }

}  // namespace vsci
