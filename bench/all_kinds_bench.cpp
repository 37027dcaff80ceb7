// Every registry kind, built from its example parameters, fed one long tape
// through Indicator::update as the engine feeds it; prints ns per update,
// slowest last, each beside a hand-written running-sum average over the same
// closes. The kinds run side by side a block of bars at a time, so the tape is
// made once, off the clock, and every kind sees the same bars.
// With --growth, each count parameter of each kind in turn is set to 14, 200
// and 2000 (the others keep their example values) and the cost at 2000 is
// printed over the cost at 14, largest last: a kind that scans its window
// shows a growth near 140x, one that keeps its extremes near 1x. A run that
// has spent its time budget stops early and is timed over the bars it saw.
//   all_kinds_bench [--filter=<substring of the kind name>] [--bars=N] [--growth]
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "factory/build_indicator.h"
#include "factory/registry.h"

namespace {

using Clock = std::chrono::steady_clock;

// Every value lands here, so no loop is dropped as unused.
volatile double kept = 0.0;

// The floor: the cheapest useful streaming average, written as a plain loop
// would write it.
class PlainSma {
 public:
  double update(double x) {
    sum_ += x - window_[at_];
    window_[at_] = x;
    at_ = (at_ + 1) % window_.size();
    return sum_ / static_cast<double>(window_.size());
  }

 private:
  std::array<double, 20> window_{};
  std::size_t at_ = 0;
  double sum_ = 0.0;
};

struct KindRun {
  const vsci::KindEntry* entry;
  vsci::IndicatorPtr indicator;
  Clock::duration spent{};
  std::uint64_t values = 0;
  std::uint64_t bars = 0;  // fed so far
};

struct Options {
  std::string filter;
  std::uint64_t bars = 0;  // 0: the mode's default
  bool growth = false;
};

// The window lengths the growth mode compares, and how long one run may take.
constexpr std::array<double, 3> kGrowthCounts{14.0, 200.0, 2000.0};
constexpr std::chrono::seconds kGrowthBudget{3};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--filter=")) {
      o.filter = arg.substr(9);
    } else if (arg.starts_with("--bars=")) {
      o.bars = std::strtoull(argv[i] + 7, nullptr, 10);
      if (o.bars == 0) return false;
    } else if (arg == "--growth") {
      o.growth = true;
    } else {
      std::fprintf(stderr, "usage: %s [--filter=<substring>] [--bars=N] [--growth]\n", argv[0]);
      return false;
    }
  }
  if (o.bars == 0) o.bars = o.growth ? 200'000 : 1'000'000;
  return true;
}

std::string params_text(const vsci::KindEntry& e) {
  std::string text;
  for (double p : e.example.view()) {
    char buf[32];
    std::snprintf(buf, sizeof buf, text.empty() ? "%g" : ",%g", p);
    text += buf;
  }
  return text;
}

double ns_per_bar(Clock::duration d, std::uint64_t bars) {
  return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count()) /
         static_cast<double>(bars);
}

std::optional<vsci::IndicatorPtr> build(const vsci::KindEntry& e, std::span<const double> params, bool quiet) {
  auto built = vsci::build_indicator(e.name, params);
  if (built.ok()) return std::move(built).value();
  if (!quiet) {
    std::fprintf(stderr, "%.*s does not build: %s\n", static_cast<int>(e.name.size()), e.name.data(),
                 built.error().to_string().c_str());
  }
  return std::nullopt;
}

// Feeds every run the same `bars` bars of the tape, a block at a time; a run
// whose time passes `budget` sits out the remaining blocks. Returns the
// running-sum floor's time.
Clock::duration feed(std::vector<KindRun*>& runs, std::uint64_t bars, Clock::duration budget) {
  vsci::bench::BenchTape tape(42);
  PlainSma floor;
  Clock::duration floor_spent{};
  double sink = 0.0;
  for (std::uint64_t done = 0; done < bars;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(vsci::bench::BenchTape::kBlock, bars - done));
    tape.next_block(n);
    auto t0 = Clock::now();
    for (std::size_t i = 0; i < n; ++i) sink += floor.update(tape.candle(i).close);
    floor_spent += Clock::now() - t0;
    for (KindRun* r : runs) {
      if (r->spent > budget) continue;
      t0 = Clock::now();
      for (std::size_t i = 0; i < n; ++i) {
        if (const auto v = r->indicator->update(tape.context(i))) {
          sink += *v;
          ++r->values;
        }
      }
      r->spent += Clock::now() - t0;
      r->bars += n;
    }
    done += n;
  }
  kept = sink;
  return floor_spent;
}

// One row per kind and count parameter: the kind built with that parameter at
// each of kGrowthCounts.
struct GrowthRow {
  const vsci::KindEntry* entry;
  std::size_t position;
  std::array<std::optional<KindRun>, kGrowthCounts.size()> runs;

  double ns(std::size_t k) const {
    const auto& r = runs[k];
    return r && r->bars > 0 ? ns_per_bar(r->spent, r->bars) : 0.0;
  }
  // Cost at the longest window over cost at the shortest; 0 when either did
  // not build.
  double growth() const {
    const double first = ns(0);
    const double last = ns(kGrowthCounts.size() - 1);
    return first > 0.0 && last > 0.0 ? last / first : 0.0;
  }
};

int run_growth(const Options& opt) {
  std::vector<GrowthRow> rows;
  for (const vsci::KindEntry* e : vsci::registry()) {
    if (e->name.find(opt.filter) == std::string_view::npos) continue;
    for (std::size_t pos = 0; pos < e->params.size(); ++pos) {
      if (e->params[pos] != 'p') continue;
      GrowthRow row{e, pos, {}};
      for (std::size_t k = 0; k < kGrowthCounts.size(); ++k) {
        vsci::ExampleParams params = e->example;
        params.values[pos] = kGrowthCounts[k];
        if (auto built = build(*e, params.view(), true)) row.runs[k] = KindRun{e, std::move(*built)};
      }
      rows.push_back(std::move(row));
    }
  }
  std::vector<KindRun*> runs;
  for (GrowthRow& row : rows)
    for (auto& r : row.runs)
      if (r) runs.push_back(&*r);
  feed(runs, opt.bars, kGrowthBudget);

  std::ranges::sort(rows, {}, &GrowthRow::growth);
  std::printf("%llu bars; ns/update with count parameter #i at 14, 200, 2000; growth = 2000 over 14\n",
              static_cast<unsigned long long>(opt.bars));
  std::printf("%-28s %2s %-22s %10s %10s %10s %9s\n", "kind", "#i", "example", "14", "200", "2000", "growth");
  for (const GrowthRow& row : rows) {
    const std::string_view name = row.entry->name;
    std::printf("%-28.*s %2zu %-22s", static_cast<int>(name.size()), name.data(), row.position,
                params_text(*row.entry).c_str());
    for (std::size_t k = 0; k < kGrowthCounts.size(); ++k) {
      if (row.runs[k]) {
        std::printf(" %10.2f", row.ns(k));
      } else {
        std::printf(" %10s", "-");
      }
    }
    if (row.growth() > 0.0) {
      std::printf(" %8.2fx\n", row.growth());
    } else {
      std::printf(" %9s\n", "-");
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (!parse(argc, argv, opt)) return 2;
  if (opt.growth) return run_growth(opt);

  std::vector<KindRun> runs;
  int failed = 0;
  for (const vsci::KindEntry* e : vsci::registry()) {
    if (e->name.find(opt.filter) == std::string_view::npos) continue;
    if (auto built = build(*e, e->example.view(), false)) {
      runs.push_back({e, std::move(*built)});
    } else {
      ++failed;
    }
  }

  std::vector<KindRun*> order;
  for (KindRun& r : runs) order.push_back(&r);
  const Clock::duration floor_spent = feed(order, opt.bars, Clock::duration::max());

  std::ranges::sort(runs, {}, &KindRun::spent);
  const double floor_ns = ns_per_bar(floor_spent, opt.bars);
  std::printf("%llu bars\n", static_cast<unsigned long long>(opt.bars));
  std::printf("%-28s %-22s %10s %9s %10s\n", "kind", "example", "ns/update", "x plain", "values");
  std::printf("%-28s %-22s %10.2f %8.2fx %10llu\n", "(plain running-sum SMA 20)", "", floor_ns, 1.0,
              static_cast<unsigned long long>(opt.bars));
  for (const KindRun& r : runs) {
    const double ns = ns_per_bar(r.spent, opt.bars);
    std::printf("%-28.*s %-22s %10.2f %8.2fx %10llu\n", static_cast<int>(r.entry->name.size()), r.entry->name.data(),
                params_text(*r.entry).c_str(), ns, floor_ns > 0.0 ? ns / floor_ns : 0.0,
                static_cast<unsigned long long>(r.values));
  }
  return failed == 0 ? 0 : 1;
}
