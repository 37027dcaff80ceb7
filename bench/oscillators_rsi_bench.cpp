// Update cost of the moving-average oscillators and the RSI family: each kind
// is built by name and fed the same 1,000,000 closes; the ns_per_update
// counter is the time per bar.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/bar_context.h"
#include "factory/build_indicator.h"

namespace {

constexpr std::size_t kBars = 1000000;

const std::vector<vsci::Candle>& candles() {
  static const std::vector<vsci::Candle> bars = [] {
    std::mt19937_64 rng(42);
    std::normal_distribution<double> step(0.0, 1.0);
    std::vector<vsci::Candle> out(kBars);
    double x = 1000.0;
    for (std::size_t i = 0; i < kBars; ++i) {
      x += step(rng);
      out[i].time = static_cast<std::int64_t>(i) * 60000;
      out[i].open = out[i].high = out[i].low = out[i].close = x;
    }
    return out;
  }();
  return bars;
}

void run_kind(benchmark::State& state, const std::string& kind, std::vector<double> params) {
  const auto& bars = candles();
  for (auto _ : state) {
    state.PauseTiming();
    auto built = vsci::build_indicator(kind, params);
    if (!built.ok()) {
      state.SkipWithError(built.error().to_string().c_str());
      return;
    }
    vsci::IndicatorPtr ind = std::move(built).value();
    state.ResumeTiming();
    for (const vsci::Candle& c : bars) benchmark::DoNotOptimize(ind->update(vsci::BarContext(c)));
  }
  state.counters["ns_per_update"] = benchmark::Counter(static_cast<double>(state.iterations()) * kBars,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

#define KIND(name, ...) \
  BENCHMARK_CAPTURE(run_kind, name, #name, std::vector<double>{__VA_ARGS__})->Unit(benchmark::kMillisecond)

// Moving-average oscillators.
KIND(Apo, 12, 26);
KIND(Ppo, 12, 26);
KIND(PpoHistogram, 12, 26, 9);
KIND(MacdHistogram, 12, 26, 9);
KIND(Trix, 15);
KIND(Tsi, 25, 13);
KIND(Pmo, 35, 20);
KIND(Stc, 23, 50, 10, 0.5);
KIND(Tii, 60, 30);
KIND(ElderImpulse, 13, 12, 26, 9);
KIND(UniversalOscillator, 20);
// RSI family.
KIND(Rsi, 14);
KIND(Rsx, 14);
KIND(Rmi, 14, 4);
KIND(Cmo, 14);
KIND(StochRsi, 14, 14);
KIND(ConnorsRsi, 3, 2, 100);
KIND(LaguerreRsi, 0.5);
KIND(AdaptiveRsi, 14);
KIND(AnchoredRsi);
KIND(FisherRsi, 14);
KIND(DynamicLengthRsi, 10);
KIND(SmoothedRsiHistogram, 14, 3, 5, 9);

}  // namespace

BENCHMARK_MAIN();
