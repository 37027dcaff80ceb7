#include "factory/registry.h"

namespace vsci {

std::span<const KindEntry> volatility_kinds() { return {}; }

}  // namespace vsci
