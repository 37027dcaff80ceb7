// Registry rows of the regression kinds: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/regression.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&Cfo::create>("Cfo"),
    kind_row<&LinRegAngle::create>("LinRegAngle"),
    kind_row<&LinRegIntercept::create>("LinRegIntercept"),
    kind_row<&LinRegSlope::create>("LinRegSlope"),
    kind_row<&LinearRegression::create>("LinearRegression"),
    kind_row<&RSquared::create>("RSquared"),
    kind_row<&StandardError::create>("StandardError"),
    kind_row<&Tsf::create>("Tsf"),
    kind_row<&TsfOscillator::create>("TsfOscillator"),
};

}  // namespace

std::span<const KindEntry> regression_kinds() { return kEntries; }

}  // namespace vsci
