#include "factory/registry.h"
#include "indicators/cores/cmo_core.h"
#include "indicators/cores/rsi_core.h"
#include "indicators/rsi_family.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    {"AdaptiveRsi", "p", [](const ParamValue* v) { return make_close_indicator(AdaptiveRsi::create(v[0].count)); }},
    {"AnchoredRsi", "", [](const ParamValue*) { return make_close_indicator(AnchoredRsi::create()); }},
    {"Cmo", "p", [](const ParamValue* v) { return make_close_indicator(CmoCore::create(v[0].count)); }},
    {"ConnorsRsi", "ppp",
     [](const ParamValue* v) {
       return make_close_indicator(ConnorsRsi::create(v[0].count, v[1].count, v[2].count));
     }},
    {"DynamicLengthRsi", "p",
     [](const ParamValue* v) { return make_close_indicator(DynamicLengthRsi::create(v[0].count)); }},
    {"FisherRsi", "p", [](const ParamValue* v) { return make_close_indicator(FisherRsi::create(v[0].count)); }},
    {"LaguerreRsi", "f", [](const ParamValue* v) { return make_close_indicator(LaguerreRsi::create(v[0].real)); }},
    {"Rmi", "pp", [](const ParamValue* v) { return make_close_indicator(Rmi::create(v[0].count, v[1].count)); }},
    {"Rsi", "p", [](const ParamValue* v) { return make_close_indicator(Rsi::create(v[0].count)); }},
    {"Rsx", "p", [](const ParamValue* v) { return make_close_indicator(Rsx::create(v[0].count)); }},
    {"SmoothedRsiHistogram", "pppp",
     [](const ParamValue* v) {
       return make_close_indicator(SmoothedRsiHistogram::create(v[0].count, v[1].count, v[2].count, v[3].count));
     }},
    {"StochRsi", "pp",
     [](const ParamValue* v) { return make_close_indicator(StochRsi::create(v[0].count, v[1].count)); }},
};

}  // namespace

std::span<const KindEntry> rsi_family_kinds() { return kEntries; }

}  // namespace vsci
