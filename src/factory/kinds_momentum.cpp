#include "factory/registry.h"

namespace vsci {

std::span<const KindEntry> momentum_kinds() { return {}; }

}  // namespace vsci
