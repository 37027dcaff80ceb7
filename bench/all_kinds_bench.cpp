// Every registry kind, built from its example parameters, fed one long tape
// through Indicator::update as the engine feeds it; prints ns per update,
// slowest last, each beside a hand-written running-sum average over the same
// closes. The kinds run side by side a block of bars at a time, so the tape is
// made once, off the clock, and every kind sees the same bars.
//   all_kinds_bench [--filter=<substring of the kind name>] [--bars=N]
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
};

struct Options {
  std::string filter;
  std::uint64_t bars = 1'000'000;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--filter=")) {
      o.filter = arg.substr(9);
    } else if (arg.starts_with("--bars=")) {
      o.bars = std::strtoull(argv[i] + 7, nullptr, 10);
    } else {
      std::fprintf(stderr, "usage: %s [--filter=<substring>] [--bars=N]\n", argv[0]);
      return false;
    }
  }
  return o.bars > 0;
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

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (!parse(argc, argv, opt)) return 2;

  std::vector<KindRun> runs;
  int failed = 0;
  for (const vsci::KindEntry* e : vsci::registry()) {
    if (e->name.find(opt.filter) == std::string_view::npos) continue;
    auto built = vsci::build_indicator(e->name, e->example.view());
    if (!built.ok()) {
      std::fprintf(stderr, "%.*s does not build: %s\n", static_cast<int>(e->name.size()), e->name.data(),
                   built.error().to_string().c_str());
      ++failed;
      continue;
    }
    runs.push_back({e, std::move(built).value()});
  }

  vsci::bench::BenchTape tape(42);
  PlainSma floor;
  Clock::duration floor_spent{};
  double sink = 0.0;
  for (std::uint64_t done = 0; done < opt.bars;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(vsci::bench::BenchTape::kBlock, opt.bars - done));
    tape.next_block(n);
    auto t0 = Clock::now();
    for (std::size_t i = 0; i < n; ++i) sink += floor.update(tape.candle(i).close);
    floor_spent += Clock::now() - t0;
    for (KindRun& r : runs) {
      t0 = Clock::now();
      for (std::size_t i = 0; i < n; ++i) {
        if (const auto v = r.indicator->update(tape.context(i))) {
          sink += *v;
          ++r.values;
        }
      }
      r.spent += Clock::now() - t0;
    }
    done += n;
  }

  std::ranges::sort(runs, {}, &KindRun::spent);
  const double floor_ns = ns_per_bar(floor_spent, opt.bars);
  kept = sink;
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
