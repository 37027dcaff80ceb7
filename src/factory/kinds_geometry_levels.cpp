#include "factory/registry.h"
#include "indicators/geometry_levels.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&AndrewsPitchfork::create>("AndrewsPitchfork", {"strength"}, {2}).with_first_value(FirstValue::WhenDataAllows),
    kind_row<&MurreyMathLines::create>("MurreyMathLines", {"period"}),
    kind_row<&ZigZag::create>("ZigZag", {"fraction"}, {0.03}).with_first_value(FirstValue::WhenDataAllows),
};

}  // namespace

std::span<const KindEntry> geometry_level_kinds() { return kEntries; }

}  // namespace vsci
