// Nanoseconds per update of each adaptive-average and regression kind, built
// by name and fed 1,000,000 closes of a random walk through the Indicator
// interface, as the engine drives them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "engine/bar_context.h"
#include "factory/build_indicator.h"

namespace {

constexpr std::size_t kBars = 1'000'000;

const std::vector<vsci::Candle>& candles() {
  static const std::vector<vsci::Candle> bars = [] {
    std::mt19937_64 rng(2024);
    std::normal_distribution<double> step(0.0, 0.5);
    std::vector<vsci::Candle> out(kBars);
    double x = 1000.0;
    for (std::size_t t = 0; t < kBars; ++t) {
      x += step(rng);
      out[t].time = static_cast<std::int64_t>(t) * 60000;
      out[t].open = out[t].high = out[t].low = out[t].close = x;
    }
    return out;
  }();
  return bars;
}

void BM_Update(benchmark::State& state, std::string kind, std::vector<double> params) {
  const auto& bars = candles();
  double total_ns = 0.0;
  for (auto _ : state) {
    auto built = vsci::build_indicator(kind, params);
    if (!built.ok()) {
      state.SkipWithError(built.error().to_string().c_str());
      return;
    }
    vsci::IndicatorPtr ind = std::move(built).value();
    const auto start = std::chrono::steady_clock::now();
    for (const vsci::Candle& c : bars) benchmark::DoNotOptimize(ind->update(vsci::BarContext(c)));
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(spent.count() * 1e-9);
    total_ns += spent.count();
  }
  state.counters["ns_per_update"] = total_ns / (static_cast<double>(state.iterations()) * kBars);
}

#define VSCI_BENCH(label, kind, ...)                                                            \
  BENCHMARK_CAPTURE(BM_Update, label, std::string(kind), std::vector<double>{__VA_ARGS__}) \
      ->Unit(benchmark::kMillisecond)                                                       \
      ->UseManualTime()                                                                     \
      ->Iterations(5)

VSCI_BENCH(Kama_10, "Kama", 10, 2, 30);
VSCI_BENCH(Kama_100, "Kama", 100, 2, 30);
VSCI_BENCH(Vidya_9_12, "Vidya", 9, 12);
VSCI_BENCH(Jma_7, "Jma", 7, 50, 2);
VSCI_BENCH(McGinleyDynamic_14, "McGinleyDynamic", 14);
VSCI_BENCH(Frama_16, "Frama", 16);
VSCI_BENCH(Frama_1000, "Frama", 1000);
VSCI_BENCH(HoltWinters, "HoltWinters", 0.3, 0.1);
VSCI_BENCH(AdaptiveLaguerreFilter_13, "AdaptiveLaguerreFilter", 13);
VSCI_BENCH(AdaptiveLaguerreFilter_1000, "AdaptiveLaguerreFilter", 1000);
VSCI_BENCH(InstantaneousTrendline_20, "InstantaneousTrendline", 20);
VSCI_BENCH(LinearRegression_14, "LinearRegression", 14);
VSCI_BENCH(LinearRegression_1000, "LinearRegression", 1000);
VSCI_BENCH(LinRegSlope_14, "LinRegSlope", 14);
VSCI_BENCH(LinRegAngle_14, "LinRegAngle", 14);
VSCI_BENCH(LinRegIntercept_14, "LinRegIntercept", 14);
VSCI_BENCH(Tsf_14, "Tsf", 14);
VSCI_BENCH(Cfo_14, "Cfo", 14);
VSCI_BENCH(TsfOscillator_14, "TsfOscillator", 14);
VSCI_BENCH(RSquared_14, "RSquared", 14);
VSCI_BENCH(StandardError_14, "StandardError", 14);

}  // namespace

BENCHMARK_MAIN();
