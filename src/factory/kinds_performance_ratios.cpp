#include "factory/registry.h"

namespace vsci {

std::span<const KindEntry> performance_ratio_kinds() { return {}; }

}  // namespace vsci
