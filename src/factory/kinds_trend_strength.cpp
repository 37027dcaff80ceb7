#include "factory/registry.h"

namespace vsci {

std::span<const KindEntry> trend_strength_kinds() { return {}; }

}  // namespace vsci
