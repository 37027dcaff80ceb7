#include "factory/registry.h"
#include "indicators/candle_oscillators.h"
#include "indicators/cores/vwma_core.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&TtmTrend::create>("TtmTrend"),
    kind_row<&TwiggsMoneyFlow::create>("TwiggsMoneyFlow"),
    kind_row<&UltimateOscillator::create>("UltimateOscillator", {7, 14, 28}),
    kind_row<&VolumeOscillator::create>("VolumeOscillator"),
    kind_row<&VolumeRsi::create>("VolumeRsi"),
    kind_row<&Vwma::create>("Vwma"),
    kind_row<&Vzo::create>("Vzo"),
    kind_row<&WilliamsR::create>("WilliamsR"),
};

}  // namespace

std::span<const KindEntry> candle_oscillator_kinds() { return kEntries; }

}  // namespace vsci
