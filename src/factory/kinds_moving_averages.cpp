// Registry rows of the moving averages: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/moving_averages.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&Ema::create>("Ema"),
    kind_row<&ExponentialHma::create>("ExponentialHma"),
    kind_row<&GaussianWeightedMa::create>("GaussianWeightedMa"),
    kind_row<&GeneralizedDema::create>("GeneralizedDema"),
    kind_row<&GeometricMa::create>("GeometricMa"),
    kind_row<&Hma::create>("Hma"),
    kind_row<&MedianMa::create>("MedianMa"),
    kind_row<&MidPoint::create>("MidPoint"),
    kind_row<&SeededRecursiveMa::create>("SeededRecursiveMa"),
    kind_row<&SineWeightedMa::create>("SineWeightedMa"),
    kind_row<&Sma::create>("Sma"),
    kind_row<&T3::create>("T3"),
    kind_row<&ThreeStageEma::create>("ThreeStageEma"),
    kind_row<&Trima::create>("Trima"),
    kind_row<&TwoStageEma::create>("TwoStageEma"),
    kind_row<&Wma::create>("Wma"),
    kind_row<&Zlema::create>("Zlema"),
};

}  // namespace

std::span<const KindEntry> moving_average_kinds() { return kEntries; }

}  // namespace vsci
