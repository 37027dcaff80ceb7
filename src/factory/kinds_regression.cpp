// Registry rows of the regression kinds: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/regression.h"

namespace vsci {

std::span<const KindEntry> regression_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&Cfo::create>("Cfo", {"period"}),
      kind_row<&LinRegAngle::create>("LinRegAngle", {"period"}),
      kind_row<&LinRegIntercept::create>("LinRegIntercept", {"period"}),
      kind_row<&LinRegSlope::create>("LinRegSlope", {"period"}),
      kind_row<&LinearRegression::create>("LinearRegression", {"period"}),
      kind_row<&RSquared::create>("RSquared", {"period"}),
      kind_row<&StandardError::create>("StandardError", {"period"}),
      kind_row<&Tsf::create>("Tsf", {"period"}),
      kind_row<&TsfOscillator::create>("TsfOscillator", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
