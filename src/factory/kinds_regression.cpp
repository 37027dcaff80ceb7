#include "factory/registry.h"
#include "indicators/regression.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    {"Cfo", "p", [](const ParamValue* v) { return make_close_indicator(Cfo::create(v[0].count)); }},
    {"LinRegAngle", "p", [](const ParamValue* v) { return make_close_indicator(LinRegAngle::create(v[0].count)); }},
    {"LinRegIntercept", "p",
     [](const ParamValue* v) { return make_close_indicator(LinRegIntercept::create(v[0].count)); }},
    {"LinRegSlope", "p", [](const ParamValue* v) { return make_close_indicator(LinRegSlope::create(v[0].count)); }},
    {"LinearRegression", "p",
     [](const ParamValue* v) { return make_close_indicator(LinearRegression::create(v[0].count)); }},
    {"RSquared", "p", [](const ParamValue* v) { return make_close_indicator(RSquared::create(v[0].count)); }},
    {"StandardError", "p",
     [](const ParamValue* v) { return make_close_indicator(StandardError::create(v[0].count)); }},
    {"Tsf", "p", [](const ParamValue* v) { return make_close_indicator(Tsf::create(v[0].count)); }},
    {"TsfOscillator", "p",
     [](const ParamValue* v) { return make_close_indicator(TsfOscillator::create(v[0].count)); }},
};

}  // namespace

std::span<const KindEntry> regression_kinds() { return kEntries; }

}  // namespace vsci
