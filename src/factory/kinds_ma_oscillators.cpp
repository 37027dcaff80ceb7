#include "factory/registry.h"

namespace vsci {

std::span<const KindEntry> ma_oscillator_kinds() { return {}; }

}  // namespace vsci
