#include "factory/registry.h"
#include "indicators/range_position.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&AdaptiveCci::create>("AdaptiveCci", {20}),
    kind_row<&AroonOscillator::create>("AroonOscillator", {14}),
    kind_row<&Cci::create>("Cci", {20}),
    kind_row<&ProjectionBandPercent::create>("ProjectionBandPercent", {14}),
    kind_row<&Smi::create>("Smi", {10, 3, 3}),
    kind_row<&StochasticCci::create>("StochasticCci", {14}),
};

}  // namespace

std::span<const KindEntry> range_position_kinds() { return kEntries; }

}  // namespace vsci
