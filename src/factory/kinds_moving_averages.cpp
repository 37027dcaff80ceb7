#include "factory/registry.h"
#include "indicators/cores/ema.h"
#include "indicators/cores/sma.h"
#include "indicators/cores/wma.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    {"Ema", "p", [](const ParamValue* v) { return make_close_indicator(Ema::create(v[0].count)); }},
    {"Sma", "p", [](const ParamValue* v) { return make_close_indicator(Sma::create(v[0].count)); }},
    {"Wma", "p", [](const ParamValue* v) { return make_close_indicator(Wma::create(v[0].count)); }},
};

}  // namespace

std::span<const KindEntry> moving_average_kinds() { return kEntries; }

}  // namespace vsci
