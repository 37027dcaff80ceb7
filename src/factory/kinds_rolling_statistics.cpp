#include "factory/registry.h"
#include "indicators/rolling_statistics.h"

namespace vsci {

namespace {

// Kinds read by period alone.
template <class Kind>
IndicatorResult by_period(const ParamValue* v) {
  return make_close_indicator(Kind::create(v[0].count));
}

const KindEntry kEntries[] = {
    {"BollingerBandwidth", "pf",
     [](const ParamValue* v) { return make_close_indicator(BollingerBandwidth::create(v[0].count, v[1].real)); }},
    {"CoefficientOfVariation", "p", by_period<CoefficientOfVariation>},
    {"DetrendedStdDev", "p", by_period<DetrendedStdDev>},
    {"JarqueBera", "p", by_period<JarqueBera>},
    {"Kurtosis", "p", by_period<Kurtosis>},
    {"MedianAbsoluteDeviation", "p", by_period<MedianAbsoluteDeviation>},
    {"PercentB", "pf", [](const ParamValue* v) { return make_close_indicator(PercentB::create(v[0].count, v[1].real)); }},
    {"RollingIqr", "p", by_period<RollingIqr>},
    {"RollingMinMaxScaler", "p", by_period<RollingMinMaxScaler>},
    {"RollingPercentileRank", "p", by_period<RollingPercentileRank>},
    {"RollingQuantile", "pf",
     [](const ParamValue* v) { return make_close_indicator(RollingQuantile::create(v[0].count, v[1].real)); }},
    {"SampleEntropy", "ppf",
     [](const ParamValue* v) {
       return make_close_indicator(SampleEntropy::create(v[0].count, v[1].count, v[2].real));
     }},
    {"ShannonEntropy", "pp",
     [](const ParamValue* v) { return make_close_indicator(ShannonEntropy::create(v[0].count, v[1].count)); }},
    {"Skewness", "p", by_period<Skewness>},
    {"StdDev", "p", by_period<StdDev>},
    {"Variance", "p", by_period<Variance>},
    {"ZScore", "p", by_period<ZScore>},
};

}  // namespace

std::span<const KindEntry> rolling_statistics_kinds() { return kEntries; }

}  // namespace vsci
