#include "factory/registry.h"
#include "indicators/momentum.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    {"DisparityIndex", "p", [](const ParamValue* v) { return make_close_indicator(DisparityIndex::create(v[0].count)); }},
    {"Dpo", "p", [](const ParamValue* v) { return make_close_indicator(Dpo::create(v[0].count)); }},
    {"LogReturn", "p", [](const ParamValue* v) { return make_close_indicator(LogReturn::create(v[0].count)); }},
    {"Mom", "p", [](const ParamValue* v) { return make_close_indicator(Mom::create(v[0].count)); }},
    {"Roc", "p", [](const ParamValue* v) { return make_close_indicator(Roc::create(v[0].count)); }},
    {"Rocp", "p", [](const ParamValue* v) { return make_close_indicator(Rocp::create(v[0].count)); }},
    {"Rocr", "p", [](const ParamValue* v) { return make_close_indicator(Rocr::create(v[0].count)); }},
    {"Rocr100", "p", [](const ParamValue* v) { return make_close_indicator(Rocr100::create(v[0].count)); }},
    {"WeightedRocSum", "ppp",
     [](const ParamValue* v) {
       return make_close_indicator(WeightedRocSum::create(v[0].count, v[1].count, v[2].count));
     }},
};

}  // namespace

std::span<const KindEntry> momentum_kinds() { return kEntries; }

}  // namespace vsci
