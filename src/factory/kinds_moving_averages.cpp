#include "factory/registry.h"
#include "indicators/moving_averages.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    {"Ema", "p", [](const ParamValue* v) { return make_close_indicator(Ema::create(v[0].count)); }},
    {"ExponentialHma", "p", [](const ParamValue* v) { return make_close_indicator(ExponentialHma::create(v[0].count)); }},
    {"GaussianWeightedMa", "pff",
     [](const ParamValue* v) {
       return make_close_indicator(GaussianWeightedMa::create(v[0].count, v[1].real, v[2].real));
     }},
    {"GeneralizedDema", "pf",
     [](const ParamValue* v) { return make_close_indicator(GeneralizedDema::create(v[0].count, v[1].real)); }},
    {"GeometricMa", "p", [](const ParamValue* v) { return make_close_indicator(GeometricMa::create(v[0].count)); }},
    {"Hma", "p", [](const ParamValue* v) { return make_close_indicator(Hma::create(v[0].count)); }},
    {"MedianMa", "p", [](const ParamValue* v) { return make_close_indicator(MedianMa::create(v[0].count)); }},
    {"MidPoint", "p", [](const ParamValue* v) { return make_close_indicator(MidPoint::create(v[0].count)); }},
    {"SeededRecursiveMa", "p",
     [](const ParamValue* v) { return make_close_indicator(SeededRecursiveMa::create(v[0].count)); }},
    {"SineWeightedMa", "p", [](const ParamValue* v) { return make_close_indicator(SineWeightedMa::create(v[0].count)); }},
    {"Sma", "p", [](const ParamValue* v) { return make_close_indicator(Sma::create(v[0].count)); }},
    {"T3", "pf", [](const ParamValue* v) { return make_close_indicator(T3::create(v[0].count, v[1].real)); }},
    {"ThreeStageEma", "p", [](const ParamValue* v) { return make_close_indicator(ThreeStageEma::create(v[0].count)); }},
    {"Trima", "p", [](const ParamValue* v) { return make_close_indicator(Trima::create(v[0].count)); }},
    {"TwoStageEma", "p", [](const ParamValue* v) { return make_close_indicator(TwoStageEma::create(v[0].count)); }},
    {"Wma", "p", [](const ParamValue* v) { return make_close_indicator(Wma::create(v[0].count)); }},
    {"Zlema", "p", [](const ParamValue* v) { return make_close_indicator(Zlema::create(v[0].count)); }},
};

}  // namespace

std::span<const KindEntry> moving_average_kinds() { return kEntries; }

}  // namespace vsci
