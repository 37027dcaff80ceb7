// ns per update of the trend-strength and volatility kinds over 1,000,000 bars,
// beside a plain loop that only reads the closes (the streaming overhead floor).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "factory/build_indicator.h"

namespace {

constexpr std::size_t kBars = 1000000;

const std::vector<vsci::Candle>& candles() {
  static const std::vector<vsci::Candle> data = [] {
    std::mt19937_64 rng(1);
    std::normal_distribution<double> step(0.0, 0.5);
    std::vector<vsci::Candle> out(kBars);
    double x = 1000.0;
    for (std::size_t i = 0; i < kBars; ++i) {
      x = std::fmax(1.0, x + step(rng));
      out[i].time = static_cast<std::int64_t>(i) * 60000;
      out[i].open = out[i].high = out[i].low = out[i].close = x;
    }
    return out;
  }();
  return data;
}

void per_bar(benchmark::State& state) {
  state.counters["ns_per_bar"] = benchmark::Counter(
      static_cast<double>(kBars), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Baseline(benchmark::State& state) {
  const auto& data = candles();
  for (auto _ : state) {
    double sum = 0.0;
    for (const auto& c : data) sum += c.close;
    benchmark::DoNotOptimize(sum);
  }
  per_bar(state);
}
BENCHMARK(Baseline)->Unit(benchmark::kMillisecond);

void Kind(benchmark::State& state, const char* name, std::vector<double> params) {
  const auto& data = candles();
  for (auto _ : state) {
    auto ind = std::move(vsci::build_indicator(name, params)).value();
    double sum = 0.0;
    for (const auto& c : data) {
      if (auto v = ind->update(vsci::BarContext(c))) sum += *v;
    }
    benchmark::DoNotOptimize(sum);
  }
  per_bar(state);
}

#define KIND(name, ...) \
  BENCHMARK_CAPTURE(Kind, name, #name, std::vector<double>{__VA_ARGS__})->Unit(benchmark::kMillisecond)

KIND(VerticalHorizontalFilter, 14);
KIND(PolarizedFractalEfficiency, 10, 5);
KIND(TrendStrengthIndex, 14);
KIND(WavePm, 14, 5);
KIND(TrendLabel, 14);
KIND(RegimeLabel, 20, 50);
KIND(PercentageTrailingStop, 2);
KIND(StepTrailingStop, 1);
KIND(RenkoTrailingStop, 1);
KIND(HistoricalVolatility, 20, 252);
KIND(RealizedVolatility, 20);
KIND(BipowerVariation, 20);
KIND(EwmaVolatility, 0.94);
KIND(Garch11, 1e-6, 0.08, 0.9);
KIND(JumpIndicator, 20, 3);
KIND(VolatilityOfVolatility, 20, 20);
KIND(UlcerIndex, 14);
KIND(RviVolatility, 10);

}  // namespace

BENCHMARK_MAIN();
