// Registry rows of the Hilbert-transform kinds: a row follows from its kind's
// create and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/hilbert.h"

namespace vsci {

std::span<const KindEntry> hilbert_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<AdaptiveCycle>>("AdaptiveCycle"),
      kind_row<&Fama::create>("Fama", {"fast_limit", "slow_limit"}, {0.5, 0.05}),
      kind_row<&create_plain<HilbertCyclePeriod>>("HilbertCyclePeriod"),
      kind_row<&create_plain<HtDcPhase>>("HtDcPhase"),
      kind_row<&create_plain<HtPhasor>>("HtPhasor"),
      kind_row<&create_plain<HtTrendMode>>("HtTrendMode"),
      kind_row<&PhaseAdaptiveMa::create>("PhaseAdaptiveMa", {"fast_limit", "slow_limit"}, {0.5, 0.05}),
      kind_row<&create_plain<SineWave>>("SineWave"),
  };
  return kEntries;
}

}  // namespace vsci
