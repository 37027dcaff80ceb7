// Nanoseconds per update of each cycle-filter and Hilbert-transform kind, fed
// 1,000,000 closes of a random walk through the factory-built Indicator.
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "engine/bar_context.h"
#include "factory/build_indicator.h"

namespace {

constexpr std::size_t kBars = 1000000;

const std::vector<vsci::Candle>& bars() {
  static const std::vector<vsci::Candle> candles = [] {
    std::vector<vsci::Candle> out(kBars);
    std::mt19937_64 rng(42);
    std::normal_distribution<double> step(0.0, 1.0);
    double x = 1000.0;
    for (std::size_t i = 0; i < kBars; ++i) {
      x += step(rng);
      out[i].open = out[i].high = out[i].low = out[i].close = x;
      out[i].time = static_cast<std::int64_t>(i) * 60000;
    }
    return out;
  }();
  return candles;
}

void run_kind(benchmark::State& state, const std::string& kind, std::vector<double> params) {
  const auto& candles = bars();
  double total_ns = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    auto built = vsci::build_indicator(kind, params);
    if (!built.ok()) {
      state.SkipWithError(built.error().to_string().c_str());
      return;
    }
    vsci::IndicatorPtr ind = std::move(built).value();
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    for (const vsci::Candle& c : candles) benchmark::DoNotOptimize(ind->update(vsci::BarContext(c)));
    total_ns += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["ns_per_update"] = total_ns / (static_cast<double>(kBars) * static_cast<double>(state.iterations()));
}

#define CYCLE_BENCH(label, kind, ...)                                                        \
  BENCHMARK_CAPTURE(run_kind, label, std::string(kind), std::vector<double>{__VA_ARGS__}) \
      ->Iterations(1)                                                                        \
      ->Unit(benchmark::kMillisecond)

CYCLE_BENCH(HighpassFilter_48, "HighpassFilter", 48);
CYCLE_BENCH(SuperSmoother_10, "SuperSmoother", 10);
CYCLE_BENCH(SuperSmoothedHighpass_10_48, "SuperSmoothedHighpass", 10, 48);
CYCLE_BENCH(BandpassFilter_20_0_3, "BandpassFilter", 20, 0.3);
CYCLE_BENCH(Decycler_60, "Decycler", 60);
CYCLE_BENCH(DecyclerOscillator_30_60, "DecyclerOscillator", 30, 60);
CYCLE_BENCH(Reflex_20, "Reflex", 20);
CYCLE_BENCH(Trendflex_20, "Trendflex", 20);
CYCLE_BENCH(CyberneticCycle_10, "CyberneticCycle", 10);
CYCLE_BENCH(CenterOfGravity_10, "CenterOfGravity", 10);
CYCLE_BENCH(CorrelationTrendIndicator_20, "CorrelationTrendIndicator", 20);
CYCLE_BENCH(EhlersStochastic_20, "EhlersStochastic", 20);
CYCLE_BENCH(FisherTransform_10, "FisherTransform", 10);
CYCLE_BENCH(InverseFisherTransform_0_1, "InverseFisherTransform", 0.1);
CYCLE_BENCH(Autocorrelation_30_5, "Autocorrelation", 30, 5);
CYCLE_BENCH(AutocorrelationPeriodogram_10_48, "AutocorrelationPeriodogram", 10, 48);
CYCLE_BENCH(EmpiricalModeDecomposition_20_0_5, "EmpiricalModeDecomposition", 20, 0.5);
CYCLE_BENCH(EvenBetterSinewave_40_10, "EvenBetterSinewave", 40, 10);
CYCLE_BENCH(HurstExponent_100_4, "HurstExponent", 100, 4);
CYCLE_BENCH(HtDcPhase, "HtDcPhase");
CYCLE_BENCH(HilbertCyclePeriod, "HilbertCyclePeriod");
CYCLE_BENCH(SineWave, "SineWave");
CYCLE_BENCH(HtTrendMode, "HtTrendMode");
CYCLE_BENCH(AdaptiveCycle, "AdaptiveCycle");
CYCLE_BENCH(Fama_0_5_0_05, "Fama", 0.5, 0.05);

}  // namespace

BENCHMARK_MAIN();
