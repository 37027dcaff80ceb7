#include "factory/registry.h"

namespace vsci {

std::span<const KindEntry> rsi_family_kinds() { return {}; }

}  // namespace vsci
