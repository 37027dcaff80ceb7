// Registry rows of the momentum kinds: a row follows from its kind's create and
// names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/momentum.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&DisparityIndex::create>("DisparityIndex"),
    kind_row<&Dpo::create>("Dpo"),
    kind_row<&LogReturn::create>("LogReturn"),
    kind_row<&Mom::create>("Mom"),
    kind_row<&Roc::create>("Roc"),
    kind_row<&Rocp::create>("Rocp"),
    kind_row<&Rocr::create>("Rocr"),
    kind_row<&Rocr100::create>("Rocr100"),
    kind_row<&WeightedRocSum::create>("WeightedRocSum"),
};

}  // namespace

std::span<const KindEntry> momentum_kinds() { return kEntries; }

}  // namespace vsci
