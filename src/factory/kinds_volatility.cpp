#include "factory/registry.h"
#include "indicators/volatility.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    {"BipowerVariation", "p",
     [](const ParamValue* v) { return make_close_indicator(BipowerVariation::create(v[0].count)); }},
    {"EwmaVolatility", "f",
     [](const ParamValue* v) { return make_close_indicator(EwmaVolatility::create(v[0].real)); }},
    {"Garch11", "fff",
     [](const ParamValue* v) { return make_close_indicator(Garch11::create(v[0].real, v[1].real, v[2].real)); }},
    {"HistoricalVolatility", "pp",
     [](const ParamValue* v) {
       return make_close_indicator(HistoricalVolatility::create(v[0].count, v[1].count));
     }},
    {"JumpIndicator", "pf",
     [](const ParamValue* v) { return make_close_indicator(JumpIndicator::create(v[0].count, v[1].real)); }},
    {"RealizedVolatility", "p",
     [](const ParamValue* v) { return make_close_indicator(RealizedVolatility::create(v[0].count)); }},
    {"RviVolatility", "p",
     [](const ParamValue* v) { return make_close_indicator(RviVolatility::create(v[0].count)); }},
    {"UlcerIndex", "p", [](const ParamValue* v) { return make_close_indicator(UlcerIndex::create(v[0].count)); }},
    {"VolatilityOfVolatility", "pp",
     [](const ParamValue* v) {
       return make_close_indicator(VolatilityOfVolatility::create(v[0].count, v[1].count));
     }},
};

}  // namespace

std::span<const KindEntry> volatility_kinds() { return kEntries; }

}  // namespace vsci
