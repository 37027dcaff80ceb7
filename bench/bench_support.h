// Shared by the indicator-family benchmarks: the seeded candle series they
// feed, the per-kind run that builds a kind by name and feeds it every candle
// through Indicator::update as the engine does, and the plain loop over the
// same candles that each family prints beside its kinds as the floor.
// Every run reports the counter ns_per_update (time per candle).
#pragma once

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "factory/build_indicator.h"
#include "market/bar_context.h"

namespace vsci::bench {

inline constexpr std::size_t kBars = 1'000'000;

// kBars closes of a seeded random walk from 1000 with normal steps, held at
// or above `floor`.
inline std::vector<double> walk_closes(unsigned seed, double step_sd,
                                       double floor = -std::numeric_limits<double>::infinity()) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> step(0.0, step_sd);
  std::vector<double> out(kBars);
  double x = 1000.0;
  for (double& c : out) c = x = std::fmax(floor, x + step(rng));
  return out;
}

// kBars independent per-period returns.
inline std::vector<double> return_closes(unsigned seed, double mean, double sd) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> draw(mean, sd);
  std::vector<double> out(kBars);
  for (double& c : out) c = draw(rng);
  return out;
}

// One candle a minute, every price at the close.
inline std::vector<Candle> candles_of(const std::vector<double>& closes) {
  std::vector<Candle> out(closes.size());
  for (std::size_t i = 0; i < closes.size(); ++i) {
    out[i].time = static_cast<std::int64_t>(i) * 60000;
    out[i].open = out[i].high = out[i].low = out[i].close = closes[i];
  }
  return out;
}

// ns per element of what one iteration went through.
inline void report_ns_per_update(benchmark::State& state, std::size_t per_iteration) {
  state.counters["ns_per_update"] = benchmark::Counter(
      static_cast<double>(per_iteration), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Builds the kind (outside the timing) and feeds it every candle.
inline void update_through_indicator(benchmark::State& state, const std::vector<Candle>& bars,
                                     const std::string& kind, const std::vector<double>& params) {
  for (auto _ : state) {
    state.PauseTiming();
    auto built = build_indicator(kind, params);
    if (!built.ok()) {
      state.SkipWithError(built.error().to_string().c_str());
      return;
    }
    IndicatorPtr ind = std::move(built).value();
    state.ResumeTiming();
    double acc = 0.0;
    for (const Candle& c : bars) {
      if (const auto v = ind->update(BarContext(c))) acc += *v;
    }
    benchmark::DoNotOptimize(acc);
  }
  report_ns_per_update(state, bars.size());
}

// The floor under every kind: a plain loop that only reads each close.
inline void plain_loop(benchmark::State& state, const std::vector<Candle>& bars) {
  for (auto _ : state) {
    double acc = 0.0;
    for (const Candle& c : bars) acc += c.close;
    benchmark::DoNotOptimize(acc);
  }
  report_ns_per_update(state, bars.size());
}

// A kind and its parameters; the run is named after both ("Kama/10/2/30").
struct KindRun {
  std::string kind;
  std::vector<double> params;
};

inline std::string run_name(const KindRun& run) {
  std::string name = run.kind;
  for (double p : run.params) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "/%g", p);
    name += buf;
  }
  return name;
}

// Registers the plain loop over `bars` ("plain_loop/<data>") and one run per
// kind over the same candles. `bars` must outlive the benchmark runs.
inline void register_family(const std::string& data, const std::vector<Candle>& bars,
                            const std::vector<KindRun>& runs) {
  benchmark::RegisterBenchmark(("plain_loop/" + data).c_str(),
                               [&bars](benchmark::State& state) { plain_loop(state, bars); })
      ->Unit(benchmark::kMillisecond);
  for (const KindRun& run : runs) {
    benchmark::RegisterBenchmark(run_name(run).c_str(),
                                 [&bars, run](benchmark::State& state) {
                                   update_through_indicator(state, bars, run.kind, run.params);
                                 })
        ->Unit(benchmark::kMillisecond);
  }
}

// The usual benchmark main, after the families have registered their runs.
inline int run_registered(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace vsci::bench
