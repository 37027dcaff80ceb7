#include "factory/registry.h"
#include "indicators/adaptive_averages.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    {"AdaptiveLaguerreFilter", "p",
     [](const ParamValue* v) { return make_close_indicator(AdaptiveLaguerreFilter::create(v[0].count)); }},
    {"Frama", "p", [](const ParamValue* v) { return make_close_indicator(Frama::create(v[0].count)); }},
    {"HoltWinters", "ff",
     [](const ParamValue* v) { return make_close_indicator(HoltWinters::create(v[0].real, v[1].real)); }},
    {"InstantaneousTrendline", "p",
     [](const ParamValue* v) { return make_close_indicator(InstantaneousTrendline::create(v[0].count)); }},
    {"Jma", "pfu",
     [](const ParamValue* v) { return make_close_indicator(Jma::create(v[0].count, v[1].real, v[2].u32)); }},
    {"Kama", "ppp",
     [](const ParamValue* v) { return make_close_indicator(Kama::create(v[0].count, v[1].count, v[2].count)); }},
    {"McGinleyDynamic", "p",
     [](const ParamValue* v) { return make_close_indicator(McGinleyDynamic::create(v[0].count)); }},
    {"Vidya", "pp",
     [](const ParamValue* v) { return make_close_indicator(Vidya::create(v[0].count, v[1].count)); }},
};

}  // namespace

std::span<const KindEntry> adaptive_average_kinds() { return kEntries; }

}  // namespace vsci
