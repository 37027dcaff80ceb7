#include "factory/registry.h"

namespace vsci {

std::span<const KindEntry> cycle_filter_kinds() { return {}; }

}  // namespace vsci
