// A hostile expected document: a run_test command of about 5 MB whose
// expected metrics hold 300,000 members, answered end to end, beside parsing
// the same command into a tree (the baseline, run first). The members are
// unique in one variant and end with a repeated key in another, which sends
// the flattening to the tree. Every key of an object is checked against the
// others, so this is where a check that compares each key with every earlier
// one would show. Each benchmark reports bytes_per_second over the command.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "harness/session.h"
#include "json/reader.h"
#include "throughput_report.h"

namespace {

using namespace vsci;

constexpr std::size_t kMembers = 300000;

std::string candles_text(int n) {
  std::string out = "[";
  for (int i = 0; i < n; ++i) {
    const int p = 100 + (i * 7) % 13;
    out += (i ? "," : "") + std::string("[") + std::to_string(i * 3600000LL) + "," + std::to_string(p) + "," +
           std::to_string(p + 2) + "," + std::to_string(p - 2) + "," + std::to_string(p + 1) + ",5]";
  }
  return out + "]";
}

// `repeat` ends the metrics with their first key once more.
std::string command_text(bool repeat) {
  std::string metrics = "{";
  for (std::size_t i = 0; i < kMembers; ++i) {
    metrics += (i ? ",\"m" : "\"m") + std::to_string(i * 7919 % kMembers) + "\":" + std::to_string(i % 1000) + ".25";
  }
  if (repeat) metrics += ",\"m0\":1";
  metrics += "}";
  return R"({"cmd":"run_test","test":{"id":"wide","dataset_ref":"d","strategy":)"
         R"({"symbol":"S","timeframe":"1h","indicators":{"f":{"type":"Sma","params":[2]},"s":{"type":"Sma","params":[4]}},)"
         R"("entry":{"gt":["f","s"]},"exit":{"lt":["f","s"]},"sizing":{"type":"fixed_qty","qty":1}},)"
         R"("expected":{"metrics":)" +
         metrics + R"(}},"data":{"d":)" + candles_text(200) + "}}";
}

const std::string& unique_command() {
  static const std::string text = command_text(false);
  return text;
}

const std::string& repeated_command() {
  static const std::string text = command_text(true);
  return text;
}

void finish(benchmark::State& state, const std::string& text) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void BM_ParseCommandTree(benchmark::State& state) {
  for (auto _ : state) {
    auto v = json::parse(unique_command());
    if (!v) state.SkipWithError(v.error().to_string().c_str());
    benchmark::DoNotOptimize(v);
  }
  finish(state, unique_command());
}

// Every key differs from the output's, so the answer lists missing fields.
void answer_each(benchmark::State& state, const std::string& text, std::string (*answer)(std::string_view)) {
  for (auto _ : state) {
    const std::string a = answer(text);
    if (a.find(R"("kind":"missing")") == std::string::npos) state.SkipWithError(a.substr(0, 200).c_str());
    benchmark::DoNotOptimize(a.data());
  }
  finish(state, text);
}

void BM_RunTestUniqueKeys(benchmark::State& state) { answer_each(state, unique_command(), Session::command); }
void BM_RunTestRepeatedKey(benchmark::State& state) { answer_each(state, repeated_command(), Session::command); }
void BM_RunTestThroughTree(benchmark::State& state) { answer_each(state, unique_command(), command_from_tree); }

BENCHMARK(BM_ParseCommandTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunTestUniqueKeys)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RunTestRepeatedKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RunTestThroughTree)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return vsci::bench::run_throughput_benchmarks(argc, argv, [] {
    std::printf("run_test command: %.2f MB, %zu members in expected.metrics\n",
                static_cast<double>(unique_command().size()) / 1e6, kMembers);
  });
}
