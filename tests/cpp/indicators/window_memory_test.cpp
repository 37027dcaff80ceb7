// Memory of windowed kinds declared at the largest lengths allowed: what an
// indicator holds must grow with the values it was fed, not with the length it
// was declared with, so that a short request declaring many huge windows
// cannot exhaust the process. Measured as the growth of this process's
// resident set while every built object is kept alive.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "indicators/indicator_error.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// Resident bytes of this process, from /proc/self/statm (pages).
std::uint64_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t total_pages = 0;
  std::uint64_t resident_pages = 0;
  statm >> total_pages >> resident_pages;
  return resident_pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

struct HugeKind {
  std::string name;
  std::vector<double> params;
  bool fills = false;  // a small count fills a window within the fed closes
  bool once = false;   // built in the first round only: its constructor is slow
};

constexpr double kHuge = static_cast<double>(MAX_PERIOD);

// Every family, with each kind's storage-sizing counts at MAX_PERIOD (or one
// count small and the other huge, where the small one fills a window early).
std::vector<HugeKind> huge_kinds() {
  const double h = kHuge;
  return {
      // moving averages
      {"Sma", {h}},
      {"Wma", {h}},
      {"Hma", {h}},
      {"Trima", {h}},
      {"SineWeightedMa", {h}},
      // Its constructor sums every weight to check them, once per object.
      {"GaussianWeightedMa", {h, 0.85, 6.0}, false, true},
      {"GeometricMa", {h}},
      {"MedianMa", {h}},
      {"MidPoint", {h}},
      {"Zlema", {h}},
      // momentum
      {"Mom", {h}},
      {"Roc", {h}},
      {"LogReturn", {h}},
      {"Dpo", {h}},
      {"DisparityIndex", {h}},
      {"WeightedRocSum", {h, h, h}},
      // adaptive averages
      {"Kama", {h, 2, 30}},
      {"Vidya", {9, h}},
      {"Frama", {h}},
      {"AdaptiveLaguerreFilter", {h}},
      // regression
      {"LinearRegression", {h}},
      {"StandardError", {h}},
      {"RSquared", {h}},
      // moving-average oscillators
      {"Stc", {12, 26, h, 0.5}},
      {"Tii", {h, h}},
      // RSI family
      {"Cmo", {h}},
      {"Rmi", {14, h}},
      {"StochRsi", {14, h}},
      {"ConnorsRsi", {3, 2, h}},
      {"AdaptiveRsi", {h}},
      // trend strength
      {"VerticalHorizontalFilter", {h}},
      {"PolarizedFractalEfficiency", {h, 5}},
      {"TrendStrengthIndex", {h}},
      {"WavePm", {h, 5}},
      {"TrendLabel", {h}},
      {"RegimeLabel", {h, h}},
      // volatility
      {"HistoricalVolatility", {h, 252}},
      {"RealizedVolatility", {h}},
      {"BipowerVariation", {h}},
      {"JumpIndicator", {h, 3}},
      {"VolatilityOfVolatility", {h, h}},
      {"UlcerIndex", {h}},
      {"RviVolatility", {h}},
      // rolling statistics
      {"StdDev", {h}},
      {"Kurtosis", {h}},
      {"JarqueBera", {h}},
      {"MedianAbsoluteDeviation", {h}},
      {"RollingIqr", {h}},
      {"RollingQuantile", {h, 0.3}},
      {"RollingPercentileRank", {h}},
      {"RollingMinMaxScaler", {h}},
      {"DetrendedStdDev", {h}},
      {"SampleEntropy", {h, 2, 0.2}},
      {"ShannonEntropy", {h, h}},
      {"ShannonEntropy", {10, h}, true},
      {"BollingerBandwidth", {h, 2}},
      {"PercentB", {h, 2}},
      // performance ratios
      {"MaxDrawdown", {h}},
      {"AverageDrawdown", {h}},
      {"SharpeRatio", {h, 0}},
      {"SortinoRatio", {h, 0}},
      {"KRatio", {h}},
      {"OmegaRatio", {h, 0}},
      {"UpsidePotentialRatio", {h, 0}},
      {"GainToPainRatio", {h}},
      {"WinRate", {h}},
      {"ValueAtRisk", {h, 0.95}},
      {"ConditionalValueAtRisk", {h, 0.95}},
      {"TailRatio", {h}},
      {"CommonSenseRatio", {h}},
      {"ReturnToUlcerRatio", {h}},
      {"BurkeRatio", {h}},
      {"ProfitFactor", {h}},
      // cycle filters
      {"Reflex", {h}},
      {"Trendflex", {h}},
      {"EhlersStochastic", {h}},
      {"EmpiricalModeDecomposition", {h, 0.5}},
      {"AutocorrelationPeriodogram", {10, h}},
      {"CenterOfGravity", {h}},
      {"FisherTransform", {h}},
      {"Autocorrelation", {h, 1}},
      {"CorrelationTrendIndicator", {h}},
      {"HurstExponent", {h, 2}},
      // Hilbert transform (fixed-size histories only)
      {"HtDcPhase", {}, true},
  };
}

TEST(WindowMemory, HugeDeclaredWindowsCostOnlyWhatTheyHold) {
  constexpr int kInstances = 3;
  constexpr std::size_t kCloses = 300;
  // Far below a single declared window per kind, let alone all of them.
  constexpr std::uint64_t kBound = std::uint64_t{512} << 20;

  const std::vector<HugeKind> kinds = huge_kinds();
  std::vector<double> closes = random_walk(kCloses, 7);
  // A few equal closes and a long fall, so the monotone queues and the
  // equal-run paths are exercised too.
  for (std::size_t i = 100; i < 110; ++i) closes[i] = closes[99];
  for (std::size_t i = 200; i < kCloses; ++i) closes[i] = closes[i - 1] - 0.25;

  std::vector<IndicatorPtr> alive;
  alive.reserve(kinds.size() * kInstances);
  const std::uint64_t before = resident_bytes();
  // Checked after every object, so that a kind that does allocate its whole
  // window stops the test after one object instead of exhausting the machine.
  auto growth_ok = [&](const HugeKind& k) {
    const std::uint64_t now = resident_bytes();
    const std::uint64_t growth = now > before ? now - before : 0;
    EXPECT_LT(growth, kBound) << "after building and feeding " << k.name;
    return growth < kBound;
  };
  for (int instance = 0; instance < kInstances; ++instance) {
    for (const HugeKind& k : kinds) {
      if (k.once && instance > 0) continue;
      alive.push_back(build_ok(k.name, k.params));
      if (!growth_ok(k)) return;
      const Series out = feed_closes(*alive.back(), closes);
      if (!growth_ok(k)) return;
      // The huge windows are far from full, so those kinds give nothing yet.
      if (!k.fills) {
        for (const auto& v : out) ASSERT_FALSE(v.has_value()) << k.name;
      } else {
        ASSERT_TRUE(out.back().has_value()) << k.name;
      }
    }
  }
  // What the declared windows would take, one window per object at least.
  const double declared = static_cast<double>(alive.size()) * kHuge * 8.0;
  EXPECT_GT(declared, 16.0 * (1u << 30));
  const std::uint64_t after = resident_bytes();
  const std::uint64_t growth = after > before ? after - before : 0;
  EXPECT_LT(growth, kBound);
  RecordProperty("objects", static_cast<int>(alive.size()));
  RecordProperty("declared_mib", static_cast<int>(declared / (1u << 20)));
  RecordProperty("resident_growth_kib", static_cast<int>(growth >> 10));
}

}  // namespace
}  // namespace vsci
