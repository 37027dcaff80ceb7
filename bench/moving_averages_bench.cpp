// Streaming overhead of the basic averages over 1,000,000 bars: ns per update
// of the kind object itself ("kind"), ns per Indicator::update through the
// engine's path of a BarContext and a virtual call ("engine"), and a plain
// array loop computing the same average over the same closes ("plain").
// After the runs, prints each streaming time over the plain time.
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"
#include "indicators/moving_averages.h"

namespace {

using vsci::bench::kBars;
using vsci::bench::report_ns_per_update;

constexpr std::size_t kPeriod = 20;
constexpr std::size_t kT3Period = 5;
constexpr double kT3Factor = 0.7;

const std::vector<double>& closes() {
  static const std::vector<double> xs = vsci::bench::walk_closes(42, 1.0);
  return xs;
}

const std::vector<vsci::Candle>& candles() {
  static const std::vector<vsci::Candle> cs = vsci::bench::candles_of(closes());
  return cs;
}

// ---- plain loops: whole arrays in, whole arrays out ----

void plain_sma(const std::vector<double>& x, std::size_t p, std::vector<double>& out) {
  double sum = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sum += x[i];
    if (i >= p) sum -= x[i - p];
    out[i] = sum / static_cast<double>(p);
  }
}

void plain_ema(const std::vector<double>& x, std::size_t p, std::vector<double>& out) {
  const double a = 2.0 / (static_cast<double>(p) + 1.0);
  const double keep = 1.0 - a;
  double seed = 0.0;
  for (std::size_t i = 0; i < p && i < x.size(); ++i) seed += x[i];
  double v = seed / static_cast<double>(p);
  for (std::size_t i = p; i < x.size(); ++i) {
    v = std::fma(a, x[i], keep * v);
    out[i] = v;
  }
}

void plain_wma(const std::vector<double>& x, std::size_t p, std::vector<double>& out) {
  const double n = static_cast<double>(p);
  const double denom = (n + 1.0) * n * 0.5;
  double plain = 0.0;
  double weighted = 0.0;
  for (std::size_t i = 0; i < p && i < x.size(); ++i) {
    plain += x[i];
    weighted += (static_cast<double>(i) + 1.0) * x[i];
  }
  for (std::size_t i = p; i < x.size(); ++i) {
    weighted = (weighted - plain) + x[i] * n;
    plain = x[i] + (plain - x[i - p]);
    out[i] = weighted / denom;
  }
}

void plain_hma(const std::vector<double>& x, std::size_t p, std::vector<double>& out) {
  static std::vector<double> a(kBars), b(kBars), d(kBars);
  const auto root = static_cast<std::size_t>(std::round(std::sqrt(static_cast<double>(p))));
  plain_wma(x, p / 2, a);
  plain_wma(x, p, b);
  for (std::size_t i = 0; i < x.size(); ++i) d[i] = (a[i] + a[i]) - b[i];
  plain_wma(d, root, out);
}

void plain_t3(const std::vector<double>& x, std::size_t p, std::vector<double>& out) {
  static std::vector<std::vector<double>> e(6, std::vector<double>(kBars));
  const double v = kT3Factor, c = v * (v * v);
  const double c1 = -c, c2 = (v * v) * 3.0 + c * 3.0, c3 = ((v * v) * -6.0 - v * 3.0) - c * 3.0;
  const double c4 = (v * v) * 3.0 + ((1.0 + v * 3.0) + c);
  plain_ema(x, p, e[0]);
  for (int s = 1; s < 6; ++s) plain_ema(e[s - 1], p, e[s]);
  for (std::size_t i = 0; i < x.size(); ++i) out[i] = ((e[5][i] * c1 + e[4][i] * c2) + e[3][i] * c3) + e[2][i] * c4;
}

// ---- benchmarks ----

// Through the Indicator interface, as the engine drives it.
void engine(benchmark::State& state, const char* kind, std::vector<double> params) {
  vsci::bench::update_through_indicator(state, candles(), kind, params);
}

// The kind object itself, fed the closes.
template <class Kind, class... Args>
void kind(benchmark::State& state, Args... args) {
  const auto& xs = closes();
  for (auto _ : state) {
    auto k = Kind::create(args...).value();
    double acc = 0.0;
    for (double x : xs) {
      const auto v = k.update_value(x);
      if (v) acc += *v;
    }
    benchmark::DoNotOptimize(acc);
  }
  report_ns_per_update(state, kBars);
}

void plain(benchmark::State& state, void (*loop)(const std::vector<double>&, std::size_t, std::vector<double>&),
           std::size_t p) {
  const auto& xs = closes();
  std::vector<double> out(kBars);
  for (auto _ : state) {
    loop(xs, p, out);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  report_ns_per_update(state, kBars);
}

void register_all() {
  using vsci::Ema, vsci::Hma, vsci::Sma, vsci::T3, vsci::Wma;
  const double p = static_cast<double>(kPeriod);
  const auto ms = benchmark::kMillisecond;
  benchmark::RegisterBenchmark("kind/Sma", kind<Sma, std::uint64_t>, kPeriod)->Unit(ms);
  benchmark::RegisterBenchmark("engine/Sma", engine, "Sma", std::vector<double>{p})->Unit(ms);
  benchmark::RegisterBenchmark("plain/Sma", plain, plain_sma, kPeriod)->Unit(ms);
  benchmark::RegisterBenchmark("kind/Ema", kind<Ema, std::uint64_t>, kPeriod)->Unit(ms);
  benchmark::RegisterBenchmark("engine/Ema", engine, "Ema", std::vector<double>{p})->Unit(ms);
  benchmark::RegisterBenchmark("plain/Ema", plain, plain_ema, kPeriod)->Unit(ms);
  benchmark::RegisterBenchmark("kind/Wma", kind<Wma, std::uint64_t>, kPeriod)->Unit(ms);
  benchmark::RegisterBenchmark("engine/Wma", engine, "Wma", std::vector<double>{p})->Unit(ms);
  benchmark::RegisterBenchmark("plain/Wma", plain, plain_wma, kPeriod)->Unit(ms);
  benchmark::RegisterBenchmark("kind/Hma", kind<Hma, std::uint64_t>, kPeriod)->Unit(ms);
  benchmark::RegisterBenchmark("engine/Hma", engine, "Hma", std::vector<double>{p})->Unit(ms);
  benchmark::RegisterBenchmark("plain/Hma", plain, plain_hma, kPeriod)->Unit(ms);
  benchmark::RegisterBenchmark("kind/T3", kind<T3, std::uint64_t, double>, kT3Period, kT3Factor)->Unit(ms);
  benchmark::RegisterBenchmark("engine/T3", engine, "T3", std::vector<double>{double(kT3Period), kT3Factor})
      ->Unit(ms);
  benchmark::RegisterBenchmark("plain/T3", plain, plain_t3, kT3Period)->Unit(ms);
}

// Keeps the console output and remembers each run's time for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
      const std::string name = r.benchmark_name();  // "kind/Sma", "engine/Sma", "plain/Sma"
      const auto slash = name.find('/');
      ns_[name.substr(slash + 1)][name.substr(0, slash)] = r.GetAdjustedRealTime() * 1e6 / static_cast<double>(kBars);  // ms -> ns/bar
    }
  }
  void print_ratios() const {
    std::printf("\n%-5s %10s %10s %10s %12s %12s\n", "", "kind ns", "engine ns", "plain ns", "kind/plain",
                "engine/plain");
    for (const auto& [name, by_way] : ns_) {
      const double k = by_way.count("kind") ? by_way.at("kind") : 0.0;
      const double e = by_way.count("engine") ? by_way.at("engine") : 0.0;
      const double p = by_way.count("plain") ? by_way.at("plain") : 0.0;
      if (p <= 0.0) continue;
      std::printf("%-5s %10.2f %10.2f %10.2f %11.2fx %11.2fx\n", name.c_str(), k, e, p, k / p, e / p);
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> ns_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  candles();  // build the data outside the timed runs
  register_all();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratios();
  benchmark::Shutdown();
  return 0;
}
