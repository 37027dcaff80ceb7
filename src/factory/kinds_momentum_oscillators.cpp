#include "factory/registry.h"
#include "indicators/momentum_oscillators.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&AcceleratorOscillator::create>("AcceleratorOscillator", {5, 34, 5}),
    kind_row<&AwesomeOscillator::create>("AwesomeOscillator", {5, 34}),
    kind_row<&AwesomeOscillatorHistogram::create>("AwesomeOscillatorHistogram", {5, 34, 3}),
    kind_row<&HeikinAshiBodyOscillator::create>("HeikinAshiBodyOscillator", {10}),
    kind_row<&Inertia::create>("Inertia", {10, 14}),
    kind_row<&IntradayMomentumIndex::create>("IntradayMomentumIndex", {14}),
    kind_row<&Pgo::create>("Pgo", {14}),
    kind_row<&Qstick::create>("Qstick", {8}),
    kind_row<&Rvi::create>("Rvi", {10}),
};

}  // namespace

std::span<const KindEntry> momentum_oscillator_kinds() { return kEntries; }

}  // namespace vsci
