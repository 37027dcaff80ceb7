#include "factory/registry.h"
#include "indicators/envelope_channels.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&AccelerationBands::create>("AccelerationBands", {20, 4.0}),
    kind_row<&BomarBands::create>("BomarBands", {20, 0.85}),
    kind_row<&CloseAtrBands::create>("CloseAtrBands", {14, 2.0}),
    kind_row<&EmaAtrChannel::create>("EmaAtrChannel", {10, 14, 2.0}),
    kind_row<&HurstChannel::create>("HurstChannel", {10, 0.5}),
    kind_row<&MaEnvelope::create>("MaEnvelope", {10, 0.025}),
    kind_row<&StarcBands::create>("StarcBands", {6, 15, 2.0}),
};

}  // namespace

std::span<const KindEntry> envelope_channel_kinds() { return kEntries; }

}  // namespace vsci
