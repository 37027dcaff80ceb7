// Registry rows of the adaptive averages: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/adaptive_averages.h"

namespace vsci {

std::span<const KindEntry> adaptive_average_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&AdaptiveLaguerreFilter::create>("AdaptiveLaguerreFilter", {"period"}),
      kind_row<&Frama::create>("Frama", {"period"}, {10}),
      kind_row<&HoltWinters::create>("HoltWinters", {"alpha", "beta"}),
      kind_row<&InstantaneousTrendline::create>("InstantaneousTrendline", {"period"}),
      kind_row<&Jma::create>("Jma", {"period", "phase", "power"}),
      kind_row<&Kama::create>("Kama", {"period", "fast", "slow"}),
      kind_row<&McGinleyDynamic::create>("McGinleyDynamic", {"period"}),
      kind_row<&Vidya::create>("Vidya", {"period", "momentum_window"}),
  };
  return kEntries;
}

}  // namespace vsci
