// Engine benchmarks: a backtest from request text to result text over
// 1,000,000 candles, with the share of time spent reading the request and
// writing the result; the same with ten indicators; and a suite of 64 tests
// on the worker pool (run once with RAYON_NUM_THREADS=1 and once without to
// see the speed-up).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/request.h"
#include "engine/result.h"
#include "engine/run_backtest.h"
#include "harness/backtest_call.h"
#include "harness/envelopes.h"
#include "harness/run_one.h"
#include "harness/suite.h"
#include "json/reader.h"

namespace vsci {
namespace {

std::vector<Candle> random_candles(std::size_t n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> step(0.0, 0.5);
  std::uniform_real_distribution<double> wick(0.0, 0.3);
  std::vector<Candle> out;
  out.reserve(n);
  double close = 1000.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double open = close;
    close = std::max(1.0, open + step(rng));
    out.push_back({static_cast<std::int64_t>(i) * 60000, open, std::max(open, close) + wick(rng),
                   std::min(open, close) - wick(rng), close, 100.0 + 50.0 * wick(rng)});
  }
  return out;
}

const char* const kSmaCross = R"({"symbol":"BTCUSDT","timeframe":"1m",
  "indicators":{"fast":{"type":"Sma","params":[10]},"slow":{"type":"Sma","params":[30]}},
  "entry":{"cross_above":["fast","slow"]},"exit":{"cross_below":["fast","slow"]},
  "sizing":{"type":"fixed_fraction","fraction":0.5},"costs":{"taker_bps":5,"maker_bps":2},
  "risk":{"stop_loss_pct":3,"take_profit_pct":6}})";

const char* const kTenIndicators = R"({"symbol":"BTCUSDT","timeframe":"1m",
  "indicators":{"fast":{"type":"Sma","params":[10]},"slow":{"type":"Sma","params":[30]},
    "ema":{"type":"Ema","params":[20]},"wma":{"type":"Wma","params":[20]},"rsi":{"type":"Rsi","params":[14]},
    "sd":{"type":"StdDev","params":[20]},"kama":{"type":"Kama","params":[10,2,30]},
    "lr":{"type":"LinearRegression","params":[20]},"z":{"type":"ZScore","params":[20]},
    "trix":{"type":"Trix","params":[15]}},
  "entry":{"all":[{"cross_above":["fast","slow"]},{"lt":["rsi",70]},{"gt":["ema","wma"]}]},
  "exit":{"any":[{"cross_below":["fast","slow"]},{"gt":["z",2]}]},
  "sizing":{"type":"fixed_fraction","fraction":0.5},"costs":{"taker_bps":5,"maker_bps":2},
  "risk":{"stop_loss_pct":3,"take_profit_pct":6}})";

std::string request_text(const char* spec, std::size_t candles) {
  auto parsed = json::parse(spec);
  if (!parsed.ok()) return {};
  return write_backtest_request(parsed.value(), random_candles(candles, 42));
}

// The entry's phases timed apart: reading (parse, validation, checks),
// stepping the engine, writing the result.
void backtest_phases(benchmark::State& state, const char* spec) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const std::string text = request_text(spec, n);
  using Clock = std::chrono::steady_clock;
  double read_s = 0.0, run_s = 0.0, write_s = 0.0;
  std::size_t out_bytes = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    auto loaded = load_run_request(text);
    const auto t1 = Clock::now();
    if (!loaded.ok()) {
      state.SkipWithError(loaded.error().to_string().c_str());
      return;
    }
    RunRequest& request = loaded.value();
    auto engine = Engine::create(std::move(request.spec), request.capital, request.candles.size());
    for (std::size_t i = 0; i < request.candles.size(); ++i) {
      auto stepped = engine.value().step(request.candles[i], bar_feeds(request, i));
      benchmark::DoNotOptimize(stepped);
    }
    BacktestResult result = engine.value().finish();
    const auto t2 = Clock::now();
    std::string out = write_result(result);
    const auto t3 = Clock::now();
    out_bytes = out.size();
    benchmark::DoNotOptimize(out);
    read_s += std::chrono::duration<double>(t1 - t0).count();
    run_s += std::chrono::duration<double>(t2 - t1).count();
    write_s += std::chrono::duration<double>(t3 - t2).count();
  }
  const double total = read_s + run_s + write_s;
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
  state.counters["bars_per_s"] = benchmark::Counter(static_cast<double>(state.iterations() * n) / total);
  state.counters["read_share"] = read_s / total;
  state.counters["write_share"] = write_s / total;
  state.counters["engine_share"] = run_s / total;
  state.counters["in_MB"] = static_cast<double>(text.size()) / 1e6;
  state.counters["out_MB"] = static_cast<double>(out_bytes) / 1e6;
}

void BM_SmaCrossPhases(benchmark::State& state) { backtest_phases(state, kSmaCross); }
void BM_TenIndicatorsPhases(benchmark::State& state) { backtest_phases(state, kTenIndicators); }

// The public entry as the harness calls it.
void BM_SmaCrossEntry(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const std::string text = request_text(kSmaCross, n);
  for (auto _ : state) {
    auto out = run_backtest_json(text);
    if (!out.ok()) state.SkipWithError(out.error().to_string().c_str());
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

// 64 crossover tests with different periods over one dataset, through
// run_test on the worker pool.
void BM_Suite64(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  Datasets data;
  data.emplace_back("d", random_candles(n, 7));
  std::vector<StrategyTest> tests;
  for (int i = 0; i < 64; ++i) {
    std::string spec = kSmaCross;
    spec.replace(spec.find("[10]"), 4, "[" + std::to_string(5 + i % 8) + "]");
    spec.replace(spec.find("[30]"), 4, "[" + std::to_string(20 + i) + "]");
    StrategyTest t;
    t.id = "t" + std::to_string(i);
    t.strategy = json::parse(spec).value();
    t.dataset_ref = "d";
    tests.push_back(std::move(t));
  }
  const TestRunner runner = [](const StrategyTest& t, const Datasets& d) -> Expected<TestResult, std::string> {
    auto r = run_test(t, d);
    if (!r.ok()) return unexpected(r.error().to_string());
    return std::move(r).value();
  };
  for (auto _ : state) {
    SuiteResult suite = run_suite(tests, data, runner);
    if (suite.passed != 64) state.SkipWithError("a suite test failed");
    benchmark::DoNotOptimize(suite);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 64 * n));
  state.counters["tests_per_s"] = benchmark::Counter(static_cast<double>(state.iterations() * 64), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_SmaCrossPhases)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TenIndicatorsPhases)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SmaCrossEntry)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Suite64)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vsci

BENCHMARK_MAIN();
