// Registry rows of the rolling statistics: a row follows from its kind's create
// and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/rolling_statistics.h"

namespace vsci {

std::span<const KindEntry> rolling_statistics_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&BollingerBandwidth::create>("BollingerBandwidth", {"period", "multiplier"}),
      kind_row<&CoefficientOfVariation::create>("CoefficientOfVariation", {"period"}),
      kind_row<&DetrendedStdDev::create>("DetrendedStdDev", {"period"}),
      kind_row<&JarqueBera::create>("JarqueBera", {"period"}),
      kind_row<&Kurtosis::create>("Kurtosis", {"period"}),
      kind_row<&MedianAbsoluteDeviation::create>("MedianAbsoluteDeviation", {"period"}),
      kind_row<&PercentB::create>("PercentB", {"period", "multiplier"}),
      kind_row<&RollingIqr::create>("RollingIqr", {"period"}),
      kind_row<&RollingMinMaxScaler::create>("RollingMinMaxScaler", {"period"}),
      kind_row<&RollingPercentileRank::create>("RollingPercentileRank", {"period"}),
      kind_row<&RollingQuantile::create>("RollingQuantile", {"period", "quantile"}),
      kind_row<&SampleEntropy::create>("SampleEntropy", {"period", "template_length", "r_factor"}, {20, 2, 0.2}),
      kind_row<&ShannonEntropy::create>("ShannonEntropy", {"period", "bins"}),
      kind_row<&Skewness::create>("Skewness", {"period"}),
      kind_row<&StdDev::create>("StdDev", {"period"}),
      kind_row<&Variance::create>("Variance", {"period"}),
      kind_row<&ZScore::create>("ZScore", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
