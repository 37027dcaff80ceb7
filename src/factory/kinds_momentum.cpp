// Registry rows of the momentum kinds: a row follows from its kind's create and
// names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/momentum.h"

namespace vsci {

std::span<const KindEntry> momentum_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&DisparityIndex::create>("DisparityIndex", {"period"}),
      kind_row<&Dpo::create>("Dpo", {"period"}),
      kind_row<&LogReturn::create>("LogReturn", {"period"}),
      kind_row<&Mom::create>("Mom", {"period"}),
      kind_row<&Roc::create>("Roc", {"period"}),
      kind_row<&Rocp::create>("Rocp", {"period"}),
      kind_row<&Rocr::create>("Rocr", {"period"}),
      kind_row<&Rocr100::create>("Rocr100", {"period"}),
      kind_row<&WeightedRocSum::create>("WeightedRocSum", {"lag1", "lag2", "wma_period"}),
  };
  return kEntries;
}

}  // namespace vsci
