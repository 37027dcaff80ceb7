// Registry rows of the stochastic family and the squeeze.
#include "factory/registry.h"
#include "indicators/stochastic_family.h"

namespace vsci {

std::span<const KindEntry> stochastic_family_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&KasePermissionStochastic::create>("KasePermissionStochastic", {"look_back", "smoothing"}, {10, 3}),
      kind_row<&Stochastic::create>("Stochastic", {"k_period", "d_period"}, {14, 3}),
      kind_row<&TtmSqueeze::create>("TtmSqueeze", {"period", "band_multiplier", "channel_multiplier"}, {20, 2.0, 1.5}),
  };
  return kEntries;
}

}  // namespace vsci
