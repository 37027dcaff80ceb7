// Throughput of reading a backtest request of 1,000,000 candles from JSON text
// (object candles in key order as the harness writes them, in declared order
// with a blank after each comma, which the general record reader takes, in
// declared order as json.dumps writes them, and array candles),
// beside memcpy over the key-order text as the baseline, each in MB/s and as a
// multiple of memcpy below the table; and nanoseconds per evaluation of a
// typical rule tree over a full history window.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/request.h"
#include "engine/rules.h"
#include "engine/strategy_spec.h"
#include "throughput_report.h"

namespace {

constexpr std::size_t kBars = 1'000'000;

const char* kSpecText =
    R"({"symbol":"BTCUSDT","timeframe":"1m","indicators":{"fast":{"type":"Ema","params":[12]},)"
    R"("slow":{"type":"Ema","params":[26]}},"entry":{"cross_above":["fast","slow"]},)"
    R"("exit":{"any":[{"cross_below":["fast","slow"]},{"bars_since_entry":{"ge":50}}]},)"
    R"("sizing":{"type":"fixed_fraction","fraction":0.5},"costs":{"taker_bps":5}})";

void append_number(std::string& out, double v) {
  char buf[32];
  out.append(buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, v).ptr - buf));
}

enum class Layout { KeyOrder, DeclaredWithBlanks, JsonDumps, Array };

// Candles with shortest round-trip numbers: members in key order (as the
// harness writes them), in declared order with a blank after each comma (and
// after each colon too, as json.dumps writes them), or as arrays.
std::string request_text(Layout layout) {
  std::mt19937_64 rng(7);
  std::normal_distribution<double> step(0.0, 0.37);
  const bool dumps = layout == Layout::JsonDumps;
  std::string text = std::string(R"({"spec":)") + kSpecText + (dumps ? R"(, "candles": [)" : R"(,"candles":[)");
  text.reserve(kBars * 160);
  double x = 30000.0;
  for (std::size_t t = 0; t < kBars; ++t) {
    const double o = x;
    x += step(rng);
    const double c[] = {std::max(o, x) + 0.25, std::min(o, x) - 0.25, o, x, 10.0 + static_cast<double>(t % 977) * 3.5};
    const std::string time = std::to_string(1700000000000LL + static_cast<long long>(t) * 60000);
    if (t) text += dumps ? ", " : ",";
    if (layout == Layout::Array) {
      text += '[' + time;
      for (double v : {c[2], c[0], c[1], c[3], c[4]}) {
        text += ',';
        append_number(text, v);
      }
      text += ']';
    } else if (layout == Layout::KeyOrder) {
      const char* keys[] = {R"({"close":)", R"(,"high":)", R"(,"low":)", R"(,"open":)"};
      const double values[] = {c[3], c[0], c[1], c[2]};
      for (int k = 0; k < 4; ++k) {
        text += keys[k];
        append_number(text, values[k]);
      }
      text += R"(,"time":)" + time + R"(,"volume":)";
      append_number(text, c[4]);
      text += '}';
    } else {
      text += (dumps ? R"({"time": )" : R"({"time":)") + time;
      const char* keys[] = {R"(, "open":)", R"(, "high":)", R"(, "low":)", R"(, "close":)", R"(, "volume":)"};
      const char* dumps_keys[] = {R"(, "open": )", R"(, "high": )", R"(, "low": )", R"(, "close": )", R"(, "volume": )"};
      const double values[] = {c[2], c[0], c[1], c[3], c[4]};
      for (int k = 0; k < 5; ++k) {
        text += dumps ? dumps_keys[k] : keys[k];
        append_number(text, values[k]);
      }
      text += '}';
    }
  }
  text += "]}";
  return text;
}

const std::string& text_of(Layout layout) {
  static const std::string texts[] = {request_text(Layout::KeyOrder), request_text(Layout::DeclaredWithBlanks),
                                      request_text(Layout::JsonDumps), request_text(Layout::Array)};
  return texts[static_cast<int>(layout)];
}

void BM_Memcpy(benchmark::State& state) {
  const std::string& text = text_of(Layout::KeyOrder);
  std::string copy(text.size(), '\0');
  for (auto _ : state) {
    std::memcpy(copy.data(), text.data(), text.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

void BM_ReadRequest(benchmark::State& state, Layout layout) {
  const std::string& text = text_of(layout);
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
BENCHMARK_CAPTURE(BM_ReadRequest, key_order_candles, Layout::KeyOrder)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadRequest, declared_order_blanks, Layout::DeclaredWithBlanks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadRequest, json_dumps_layout, Layout::JsonDumps)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadRequest, array_candles, Layout::Array)->Unit(benchmark::kMillisecond);

void BM_EvalRules(benchmark::State& state) {
  auto request = vsci::read_run_request(std::string(R"({"spec":)") + kSpecText + R"(,"candles":[]})");
  // The rules as a run binds them: entry is cross_above(fast, slow), and both
  // names have their slots from the engine's setup on.
  auto engine = vsci::Engine::create(std::move(request).value().spec, 10000.0, 4096);
  const vsci::StrategySpec spec = engine->TEST_bound_spec();
  const vsci::Slot fast = spec.entry.operands[0].slot, slow = spec.entry.operands[1].slot;
  vsci::HistoryWindow window(engine->history_capacity(), std::max(fast, slow) + 1);
  std::mt19937_64 rng(3);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::vector<double> values(4096);
  for (double& v : values) v = noise(rng);
  const vsci::PositionContext position{12u, true};
  std::size_t held = 0, k = 0;
  for (auto _ : state) {
    vsci::BarRecord& r = window.push(vsci::Candle{});
    r.set(fast, values[k++ & 4095]);
    r.set(slow, values[k++ & 4095]);
    const std::size_t t = window.size() - 1;
    held += spec.entry.eval(window, t, position) + spec.exit.eval(window, t, position);
  }
  benchmark::DoNotOptimize(held);
}
BENCHMARK(BM_EvalRules);

}  // namespace

int main(int argc, char** argv) {
  return vsci::bench::run_throughput_benchmarks(argc, argv, [] {
    std::printf("requests of %zu candles: %.1f MB in key order, %.1f MB in declared order with blanks, %.1f MB as "
                "json.dumps writes them, %.1f MB as arrays\n",
                kBars, static_cast<double>(text_of(Layout::KeyOrder).size()) / 1e6,
                static_cast<double>(text_of(Layout::DeclaredWithBlanks).size()) / 1e6,
                static_cast<double>(text_of(Layout::JsonDumps).size()) / 1e6,
                static_cast<double>(text_of(Layout::Array).size()) / 1e6);
  });
}
