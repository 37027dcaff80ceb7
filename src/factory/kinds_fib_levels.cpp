#include "factory/registry.h"
#include "indicators/fib_levels.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&create_plain<AutoFib>>("AutoFib"),
    kind_row<&create_plain<FibArcs>>("FibArcs"),
    kind_row<&create_plain<FibChannel>>("FibChannel"),
    kind_row<&create_plain<FibConfluence>>("FibConfluence"),
    kind_row<&create_plain<FibExtension>>("FibExtension"),
    kind_row<&create_plain<FibFan>>("FibFan"),
    kind_row<&create_plain<FibProjection>>("FibProjection"),
    kind_row<&create_plain<FibRetracement>>("FibRetracement"),
    kind_row<&create_plain<FibTimeZones>>("FibTimeZones"),
    kind_row<&create_plain<GoldenPocket>>("GoldenPocket"),
};

}  // namespace

std::span<const KindEntry> fib_level_kinds() { return kEntries; }

}  // namespace vsci
