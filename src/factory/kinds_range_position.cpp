#include "factory/registry.h"
#include "indicators/range_position.h"

namespace vsci {

std::span<const KindEntry> range_position_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&AdaptiveCci::create>("AdaptiveCci", {"period"}, {20}),
      kind_row<&AroonOscillator::create>("AroonOscillator", {"period"}, {14}),
      kind_row<&Cci::create>("Cci", {"period"}, {20}),
      kind_row<&ProjectionBandPercent::create>("ProjectionBandPercent", {"period"}, {14}),
      kind_row<&Smi::create>("Smi", {"look_back", "smoothing1", "smoothing2"}, {10, 3, 3}),
      kind_row<&StochasticCci::create>("StochasticCci", {"period"}, {14}),
  };
  return kEntries;
}

}  // namespace vsci
