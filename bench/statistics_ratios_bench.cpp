// ns per Indicator::update of the rolling-statistics and performance-ratio
// kinds over 1,000,000 bars, window 20: statistics and level kinds on a random
// walk of prices, return kinds on random per-period returns.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "engine/bar_context.h"
#include "factory/build_indicator.h"

namespace {

constexpr std::size_t kBars = 1000000;
constexpr double kP = 20.0;

std::vector<vsci::Candle> make_candles(bool returns) {
  std::mt19937_64 rng(returns ? 43 : 42);
  std::normal_distribution<double> step(returns ? 0.0005 : 0.0, returns ? 0.01 : 1.0);
  std::vector<vsci::Candle> out(kBars);
  double x = 1000.0;
  for (std::size_t i = 0; i < kBars; ++i) {
    x = returns ? step(rng) : x + step(rng);
    out[i].time = static_cast<std::int64_t>(i) * 60000;
    out[i].open = out[i].high = out[i].low = out[i].close = x;
  }
  return out;
}

const std::vector<vsci::Candle>& prices() {
  static const std::vector<vsci::Candle> cs = make_candles(false);
  return cs;
}

const std::vector<vsci::Candle>& returns() {
  static const std::vector<vsci::Candle> cs = make_candles(true);
  return cs;
}

void run(benchmark::State& state, const std::vector<vsci::Candle>& cs, const char* kind, std::vector<double> params) {
  for (auto _ : state) {
    auto ind = vsci::build_indicator(kind, params).value();
    double acc = 0.0;
    for (const auto& c : cs) {
      const auto v = ind->update(vsci::BarContext(c));
      if (v) acc += *v;
    }
    benchmark::DoNotOptimize(acc);
  }
  state.counters["ns_per_update"] = benchmark::Counter(
      static_cast<double>(kBars), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void on_prices(benchmark::State& state, const char* kind, std::vector<double> params) {
  run(state, prices(), kind, std::move(params));
}

void on_returns(benchmark::State& state, const char* kind, std::vector<double> params) {
  run(state, returns(), kind, std::move(params));
}

#define STAT(name, ...) BENCHMARK_CAPTURE(on_prices, name, #name, __VA_ARGS__)->Unit(benchmark::kMillisecond)
#define RATIO(name, ...) BENCHMARK_CAPTURE(on_returns, name, #name, __VA_ARGS__)->Unit(benchmark::kMillisecond)

STAT(StdDev, {kP});
STAT(Variance, {kP});
STAT(ZScore, {kP});
STAT(CoefficientOfVariation, {kP});
STAT(DetrendedStdDev, {kP});
STAT(Skewness, {kP});
STAT(Kurtosis, {kP});
STAT(JarqueBera, {kP});
STAT(MedianAbsoluteDeviation, {kP});
STAT(RollingIqr, {kP});
STAT(RollingQuantile, {kP, 0.9});
STAT(RollingPercentileRank, {kP});
STAT(RollingMinMaxScaler, {kP});
STAT(PercentB, {kP, 2.0});
STAT(BollingerBandwidth, {kP, 2.0});
STAT(SampleEntropy, {kP, 2.0, 0.2});
STAT(ShannonEntropy, {kP, 10.0});

STAT(MaxDrawdown, {kP});
STAT(AverageDrawdown, {kP});
STAT(PainIndex, {kP});
STAT(RecoveryFactor, {});
RATIO(SharpeRatio, {kP, 0.0});
RATIO(SortinoRatio, {kP, 0.0});
RATIO(CalmarRatio, {kP});
RATIO(SterlingRatio, {kP});
RATIO(BurkeRatio, {kP});
RATIO(ReturnToUlcerRatio, {kP});
RATIO(OmegaRatio, {kP, 0.0});
RATIO(GainLossRatio, {kP});
RATIO(GainToPainRatio, {kP});
RATIO(ProfitFactor, {kP});
RATIO(WinRate, {kP});
RATIO(Expectancy, {kP});
RATIO(KellyCriterion, {kP});
RATIO(KRatio, {kP});
RATIO(TailRatio, {kP});
RATIO(ValueAtRisk, {kP, 0.95});
RATIO(ConditionalValueAtRisk, {kP, 0.95});
RATIO(UpsidePotentialRatio, {kP, 0.0});
RATIO(CommonSenseRatio, {kP});
RATIO(M2Measure, {kP, 0.0, 0.01});

}  // namespace

BENCHMARK_MAIN();
