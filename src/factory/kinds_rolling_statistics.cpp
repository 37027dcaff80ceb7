// Registry rows of the rolling statistics: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/rolling_statistics.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&BollingerBandwidth::create>("BollingerBandwidth"),
    kind_row<&CoefficientOfVariation::create>("CoefficientOfVariation"),
    kind_row<&DetrendedStdDev::create>("DetrendedStdDev"),
    kind_row<&JarqueBera::create>("JarqueBera"),
    kind_row<&Kurtosis::create>("Kurtosis"),
    kind_row<&MedianAbsoluteDeviation::create>("MedianAbsoluteDeviation"),
    kind_row<&PercentB::create>("PercentB"),
    kind_row<&RollingIqr::create>("RollingIqr"),
    kind_row<&RollingMinMaxScaler::create>("RollingMinMaxScaler"),
    kind_row<&RollingPercentileRank::create>("RollingPercentileRank"),
    kind_row<&RollingQuantile::create>("RollingQuantile"),
    kind_row<&SampleEntropy::create>("SampleEntropy", {20, 2, 0.2}),
    kind_row<&ShannonEntropy::create>("ShannonEntropy"),
    kind_row<&Skewness::create>("Skewness"),
    kind_row<&StdDev::create>("StdDev"),
    kind_row<&Variance::create>("Variance"),
    kind_row<&ZScore::create>("ZScore"),
};

}  // namespace

std::span<const KindEntry> rolling_statistics_kinds() { return kEntries; }

}  // namespace vsci
