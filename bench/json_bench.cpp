// Throughput of the JSON layer on the two bulk texts of a backtest: a
// 1,000,000-candle request document and a result document with 1,000,000
// equity points, next to plain memcpy/strlen over the request's bytes. Each
// benchmark reports bytes_per_second; below the table every stage is shown in
// MB/s and as a fraction of memcpy's speed, the baseline.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/result.h"
#include "harness/backtest_call.h"
#include "json/reader.h"
#include "json/typed.h"
#include "json/writer.h"
#include "market/bar_context.h"
#include "throughput_report.h"

namespace {

using namespace vsci;

constexpr std::size_t kCandles = 1000000;

std::vector<Candle> make_candles() {
  std::vector<Candle> out(kCandles);
  double price = 100.0;
  for (std::size_t i = 0; i < kCandles; ++i) {
    const double step = std::sin(static_cast<double>(i) * 0.01) * 0.7 + std::cos(static_cast<double>(i) * 0.37) * 0.3;
    Candle& c = out[i];
    c.time = 1700000000000 + static_cast<std::int64_t>(i) * 60000;
    c.open = price;
    price += step;
    c.close = price;
    c.high = std::fmax(c.open, c.close) + 0.25;
    c.low = std::fmin(c.open, c.close) - 0.25;
    c.volume = 1000.0 + static_cast<double>(i % 977) * 3.5;
  }
  return out;
}

// The candle list written exactly as the harness writes requests.
std::string write_candles(const std::vector<Candle>& candles) {
  return write_backtest_request(json::Value::object(), candles);
}

const std::vector<Candle>& candles() {
  static const std::vector<Candle> c = make_candles();
  return c;
}

const std::string& document() {
  static const std::string doc = write_candles(candles());
  return doc;
}

// The same candles with members in declared order, as a caller's command
// usually carries them: every object is reordered when parsed into a tree.
const std::string& declared_order_document() {
  static const std::string doc = [] {
    json::Writer w;
    w.begin_array();
    for (const Candle& c : candles()) {
      w.begin_object();
      w.key("time");
      w.i64(c.time);
      const std::pair<const char*, double> members[] = {
          {"open", c.open}, {"high", c.high}, {"low", c.low}, {"close", c.close}, {"volume", c.volume}};
      for (const auto& [name, v] : members) {
        w.key(name);
        w.f64(v);
      }
      w.end_object();
    }
    w.end_array();
    return w.take();
  }();
  return doc;
}

// A result as a long run leaves it: an equity point per bar, a trade every
// thousand bars.
const vsci::BacktestResult& result() {
  static const vsci::BacktestResult r = [] {
    vsci::BacktestResult out;
    out.symbol = "BTCUSDT";
    out.timeframe = "1h";
    out.initial_capital = 10000.0;
    double equity = 10000.0;
    for (std::size_t i = 0; i < kCandles; ++i) {
      const Candle& c = candles()[i];
      equity += (c.close - c.open) * 0.8;
      out.equity.push_back({c.time, equity});
      if (i % 1000 == 999) {
        out.trades.push_back({c.time - 999 * 60000, c.time, candles()[i - 999].open, c.close, 0.8,
                              (c.close - candles()[i - 999].open) * 0.8, 0.01 * (c.close - c.open),
                              vsci::ExitReason::Signal});
      }
    }
    out.metrics.num_trades = out.trades.size();
    return out;
  }();
  return r;
}

const std::string& result_document() {
  static const std::string doc = write_result(result());
  return doc;
}

constexpr json::Field kCandleFields[] = {{"time", true}, {"open", true}, {"high", true},
                                         {"low", true},  {"close", true}, {"volume", false}};
constexpr json::Record kCandle{"Candle", kCandleFields};

Expected<void, json::Error> read_candle(json::Reader& r, Candle& c) {
  return json::read_record(r, kCandle, [&](std::size_t i, json::Reader& rd) -> Expected<void, json::Error> {
    if (i == 0) {
      auto t = rd.read_i64();
      if (!t) return unexpected(std::move(t.error()));
      c.time = *t;
      return {};
    }
    auto x = rd.read_f64();
    if (!x) return unexpected(std::move(x.error()));
    double* slots[] = {nullptr, &c.open, &c.high, &c.low, &c.close, &c.volume};
    *slots[i] = *x;
    return {};
  });
}

void finish(benchmark::State& state, const std::string& text = document()) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Memcpy(benchmark::State& state) {
  const std::string& doc = document();
  std::string copy(doc.size(), '\0');
  for (auto _ : state) {
    std::memcpy(copy.data(), doc.data(), doc.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  finish(state);
}

void BM_Strlen(benchmark::State& state) {
  const std::string& doc = document();
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::strlen(doc.c_str()));
  }
  finish(state);
}

void BM_ParseTree(benchmark::State& state) {
  for (auto _ : state) {
    auto v = json::parse(document());
    if (!v) state.SkipWithError(v.error().to_string().c_str());
    benchmark::DoNotOptimize(v);
  }
  finish(state);
}

void BM_ParseTreeDeclaredOrder(benchmark::State& state) {
  for (auto _ : state) {
    auto v = json::parse(declared_order_document());
    if (!v) state.SkipWithError(v.error().to_string().c_str());
    benchmark::DoNotOptimize(v);
  }
  finish(state, declared_order_document());
}

void BM_SkipValue(benchmark::State& state) {
  for (auto _ : state) {
    json::Reader r(document());
    if (!r.skip_value()) state.SkipWithError("skip failed");
  }
  finish(state);
}

void BM_ReadCandlesTyped(benchmark::State& state) {
  std::vector<Candle> out;
  out.reserve(kCandles);
  for (auto _ : state) {
    out.clear();
    json::Reader r(document());
    std::string_view key;
    bool ok = r.begin_object().ok() && *r.next_member(key) && r.begin_array().ok();
    while (ok) {
      auto more = r.next_element();
      if (!more || !*more) {
        ok = more.ok();
        break;
      }
      Candle c;
      ok = read_candle(r, c).ok();
      out.push_back(c);
    }
    if (!ok || out.size() != kCandles) state.SkipWithError("typed read failed");
    benchmark::DoNotOptimize(out.data());
  }
  finish(state);
}

void BM_WriteTree(benchmark::State& state) {
  auto tree = json::parse(document());
  for (auto _ : state) {
    std::string text = json::write(*tree);
    if (text.size() != document().size()) state.SkipWithError("size differs");
    benchmark::DoNotOptimize(text.data());
  }
  finish(state);
}

void BM_WriteStream(benchmark::State& state) {
  for (auto _ : state) {
    std::string text = write_candles(candles());
    if (text.size() != document().size()) state.SkipWithError("size differs");
    benchmark::DoNotOptimize(text.data());
  }
  finish(state);
}

void BM_WriteResult(benchmark::State& state) {
  for (auto _ : state) {
    std::string text = write_result(result());
    if (text.size() != result_document().size()) state.SkipWithError("size differs");
    benchmark::DoNotOptimize(text.data());
  }
  finish(state, result_document());
}

void BM_ParseResultTree(benchmark::State& state) {
  for (auto _ : state) {
    auto v = json::parse(result_document());
    if (!v) state.SkipWithError(v.error().to_string().c_str());
    benchmark::DoNotOptimize(v);
  }
  finish(state, result_document());
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Strlen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseTreeDeclaredOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SkipValue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCandlesTyped)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteResult)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseResultTree)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return vsci::bench::run_throughput_benchmarks(argc, argv, [] {
    std::printf("request document: %zu candles, %.1f MB; result document: %zu equity points, %.1f MB\n", kCandles,
                static_cast<double>(document().size()) / 1e6, result().equity.size(),
                static_cast<double>(result_document().size()) / 1e6);
  });
}
