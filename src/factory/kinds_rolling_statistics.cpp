#include "factory/registry.h"

namespace vsci {

std::span<const KindEntry> rolling_statistics_kinds() { return {}; }

}  // namespace vsci
