#include "factory/registry.h"
#include "indicators/ma_oscillators.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    {"Apo", "pp", [](const ParamValue* v) { return make_close_indicator(Apo::create(v[0].count, v[1].count)); }},
    {"ElderImpulse", "pppp",
     [](const ParamValue* v) {
       return make_close_indicator(ElderImpulse::create(v[0].count, v[1].count, v[2].count, v[3].count));
     }},
    {"MacdHistogram", "ppp",
     [](const ParamValue* v) {
       return make_close_indicator(MacdHistogram::create(v[0].count, v[1].count, v[2].count));
     }},
    {"Pmo", "pp", [](const ParamValue* v) { return make_close_indicator(Pmo::create(v[0].count, v[1].count)); }},
    {"Ppo", "pp", [](const ParamValue* v) { return make_close_indicator(Ppo::create(v[0].count, v[1].count)); }},
    {"PpoHistogram", "ppp",
     [](const ParamValue* v) {
       return make_close_indicator(PpoHistogram::create(v[0].count, v[1].count, v[2].count));
     }},
    {"Stc", "pppf",
     [](const ParamValue* v) {
       return make_close_indicator(Stc::create(v[0].count, v[1].count, v[2].count, v[3].real));
     }},
    {"Tii", "pp", [](const ParamValue* v) { return make_close_indicator(Tii::create(v[0].count, v[1].count)); }},
    {"Trix", "p", [](const ParamValue* v) { return make_close_indicator(Trix::create(v[0].count)); }},
    {"Tsi", "pp", [](const ParamValue* v) { return make_close_indicator(Tsi::create(v[0].count, v[1].count)); }},
    {"UniversalOscillator", "p",
     [](const ParamValue* v) { return make_close_indicator(UniversalOscillator::create(v[0].count)); }},
};

}  // namespace

std::span<const KindEntry> ma_oscillator_kinds() { return kEntries; }

}  // namespace vsci
