// Throughput of reading a backtest request of 1,000,000 candles from JSON text
// (object and array candle forms), and nanoseconds per evaluation of a typical
// rule tree over a full history window.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "engine/request.h"
#include "engine/rules.h"
#include "engine/strategy_spec.h"

namespace {

constexpr std::size_t kBars = 1'000'000;

const char* kSpecText =
    R"({"symbol":"BTCUSDT","timeframe":"1m","indicators":{"fast":{"type":"Ema","params":[12]},)"
    R"("slow":{"type":"Ema","params":[26]}},"entry":{"cross_above":["fast","slow"]},)"
    R"("exit":{"any":[{"cross_below":["fast","slow"]},{"bars_since_entry":{"ge":50}}]},)"
    R"("sizing":{"type":"fixed_fraction","fraction":0.5},"costs":{"taker_bps":5}})";

std::string request_text(bool array_form) {
  std::mt19937_64 rng(7);
  std::normal_distribution<double> step(0.0, 0.5);
  std::string text = std::string(R"({"spec":)") + kSpecText + R"(,"candles":[)";
  text.reserve(kBars * (array_form ? 80 : 120));
  double x = 30000.0;
  char buf[256];
  for (std::size_t t = 0; t < kBars; ++t) {
    const double o = x;
    x += step(rng);
    const double hi = std::max(o, x) + 0.25, lo = std::min(o, x) - 0.25;
    const long long time = 1700000000000LL + static_cast<long long>(t) * 60000;
    const int n = array_form ? std::snprintf(buf, sizeof buf, "%s[%lld,%.2f,%.2f,%.2f,%.2f,%.3f]", t ? "," : "", time,
                                             o, hi, lo, x, 10.0 + static_cast<double>(t % 97))
                             : std::snprintf(buf, sizeof buf,
                                             R"(%s{"time":%lld,"open":%.2f,"high":%.2f,"low":%.2f,"close":%.2f,)"
                                             R"("volume":%.3f})",
                                             t ? "," : "", time, o, hi, lo, x, 10.0 + static_cast<double>(t % 97));
    text.append(buf, static_cast<std::size_t>(n));
  }
  text += "]}";
  return text;
}

void BM_ReadRequest(benchmark::State& state, bool array_form) {
  const std::string text = request_text(array_form);
  for (auto _ : state) {
    auto r = vsci::read_run_request(text);
    if (!r.ok()) {
      state.SkipWithError(r.error().to_string().c_str());
      return;
    }
    benchmark::DoNotOptimize(r->candles.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK_CAPTURE(BM_ReadRequest, object_candles, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadRequest, array_candles, true)->Unit(benchmark::kMillisecond);

void BM_EvalRules(benchmark::State& state) {
  auto request = vsci::read_run_request(std::string(R"({"spec":)") + kSpecText + R"(,"candles":[]})");
  vsci::StrategySpec spec = std::move(request).value().spec;
  const vsci::SlotTable slots = vsci::bind_slots(spec);
  vsci::HistoryWindow window(spec.lookback() + 1, slots.size());
  std::mt19937_64 rng(3);
  std::normal_distribution<double> noise(0.0, 1.0);
  const vsci::PositionContext position{12u, true};
  std::size_t held = 0;
  for (auto _ : state) {
    vsci::BarRecord& r = window.push(vsci::Candle{});
    r.set(slots.find("fast"), noise(rng));
    r.set(slots.find("slow"), noise(rng));
    const std::size_t t = window.size() - 1;
    held += spec.entry.eval(window, t, position) + spec.exit.eval(window, t, position);
  }
  benchmark::DoNotOptimize(held);
}
BENCHMARK(BM_EvalRules);

}  // namespace

BENCHMARK_MAIN();
