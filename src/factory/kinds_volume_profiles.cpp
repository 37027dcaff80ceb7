#include "factory/registry.h"
#include "indicators/volume_profiles.h"

namespace vsci {

std::span<const KindEntry> volume_profile_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&NakedPoc::create>("NakedPoc", {"period", "bins"}),
      kind_row<&ProfileShape::create>("ProfileShape", {"period", "bins"}),
      kind_row<&SinglePrints::create>("SinglePrints", {"period", "bins"}),
  };
  return kEntries;
}

}  // namespace vsci
