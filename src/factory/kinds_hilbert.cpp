#include "factory/registry.h"
#include "indicators/hilbert.h"

namespace vsci {

namespace {

template <class Kind>
IndicatorResult make_plain(const ParamValue*) {
  return make_close_indicator(Expected<Kind, IndicatorError>(Kind{}));
}

const KindEntry kEntries[] = {
    {"AdaptiveCycle", "", make_plain<AdaptiveCycle>},
    {"Fama", "ff", [](const ParamValue* v) { return make_close_indicator(Fama::create(v[0].real, v[1].real)); }},
    {"HilbertCyclePeriod", "", make_plain<HilbertCyclePeriod>},
    {"HtDcPhase", "", make_plain<HtDcPhase>},
    {"HtTrendMode", "", make_plain<HtTrendMode>},
    {"SineWave", "", make_plain<SineWave>},
};

}  // namespace

std::span<const KindEntry> hilbert_kinds() { return kEntries; }

}  // namespace vsci
