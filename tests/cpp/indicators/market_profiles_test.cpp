// Window profiles against a bin-by-bin histogram written from its definition
// (a few bins, more bins than candles, 100,000 bins), bin widths that
// underflow or overflow, volume-weighted levels with re-summing and empty
// volume; the repeated addition the histogram sums with against a plain loop;
// and the constructor checks.
#include <gtest/gtest.h>

#include <random>

#include "indicators/cores/repeated_sum.h"
#include "support/candle_run.h"
#include "support/candle_series.h"
#include "support/conformance.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

const ConformanceRows kConformance{{"CompositeProfile"}, {"HighLowVolumeNodes"}, {"TpoProfile"},
                                   {"ValueArea"},        {"VolumeProfile"},      {"VolumeWeightedSr"}};

// ValueArea, CompositeProfile, HighLowVolumeNodes and the window range.
std::array<OutputSeries, 4> profiles(const Candles& c, std::size_t n, std::size_t bins, double f) {
  std::array<OutputSeries, 4> out{OutputSeries(c.size()), OutputSeries(c.size()), OutputSeries(c.size()), OutputSeries(c.size())};
  for (std::size_t t = n - 1; t < c.size(); ++t) {
    double hi = -kInf, lo = kInf;
    for (std::size_t j = t + 1 - n; j <= t; ++j) hi = std::max(hi, c[j].high), lo = std::min(lo, c[j].low);
    out[3][t] = {lo, hi};
    const double width = (hi - lo) / double(bins);
    if (!(hi - lo > 0) || !(std::isfinite(width) && width > 0)) {
      out[0][t] = out[1][t] = {lo, lo, lo}, out[2][t] = {lo, lo};
      continue;
    }
    std::vector<double> v(bins, 0.0);
    const auto bin = [&](double p) { return std::size_t(std::min(std::floor((p - lo) / width), bins - 1.0)); };
    for (std::size_t j = t + 1 - n; j <= t; ++j)
      for (std::size_t k = bin(c[j].low); c[j].volume != 0 && k <= bin(c[j].high); ++k)
        v[k] += c[j].volume / double(bin(c[j].high) - bin(c[j].low) + 1);
    double total = 0;
    std::size_t poc = 0, lvn = bins;
    for (std::size_t k = 0; k < bins; ++k) {
      total += v[k];
      if (v[k] > v[poc]) poc = k;
      if (v[k] > 0 && (lvn == bins || v[k] < v[lvn])) lvn = k;
    }
    std::size_t first = poc, last = poc;
    for (double acc = v[poc]; acc < total * f && (first > 0 || last + 1 < bins);)
      acc += last + 1 < bins && (first == 0 || v[last + 1] >= v[first - 1]) ? v[++last] : v[--first];
    const auto px = [&](double x) { return lo + width * x; };
    out[0][t] = {px(poc + 0.5), px(double(last + 1)), px(double(first))};
    out[1][t] = {px(poc + 0.5), px(last + 0.5), px(first + 0.5)};
    out[2][t] = {px(poc + 0.5), px((lvn == bins ? poc : lvn) + 0.5)};
  }
  return out;
}

// Running sums re-summed every n pushes; an all-zero volume window resets the volume sums.
OutputSeries volume_weighted(const Candles& c, std::size_t n) {
  OutputSeries out(c.size());
  double hv = 0, lv = 0, v = 0, h = 0, l = 0;
  for (std::size_t i = 0; i < c.size(); ++i) {
    const auto add = [&](const Candle& k, double s) { hv += s * (k.high * k.volume), lv += s * (k.low * k.volume), v += s * k.volume, h += s * k.high, l += s * k.low; };
    if (i >= n) add(c[i - n], -1.0);
    add(c[i], 1.0);
    if ((i + 1) % n == 0) {
      hv = lv = v = h = l = 0;
      for (std::size_t j = i + 1 - n; j <= i; ++j) add(c[j], 1.0);
    }
    if (i + 1 < n) continue;
    bool traded = false;
    for (std::size_t j = i + 1 - n; j <= i; ++j) traded = traded || c[j].volume > 0;
    if (!traded) hv = lv = v = 0;
    out[i] = traded && v > 0 ? std::vector<double>{lv / v, hv / v} : std::vector<double>{l / double(n), h / double(n)};
  }
  return out;
}

TEST(MarketProfiles, MatchABinByBinHistogram) {
  std::vector<Candles> tapes = candle_run_tapes_with_ties();
  tapes.push_back(rough_candles(600, 5));
  Candles tiny = Candles(make_tape(40, 6).candles);
  for (std::size_t i = 0; i < tiny.size(); ++i)
    tiny[i].open = tiny[i].close = tiny[i].low = i % 3 ? 1e-320 : -1e308, tiny[i].high = i % 3 ? 2e-320 : 1e308;
  struct Row { std::size_t tape, n, bins; double f; };
  tapes.push_back(tiny);
  for (const Row& r : std::vector<Row>{{0, 1, 3, 0.7}, {1, 5, 4, 1.0}, {2, 8, 37, 0.3}, {3, 20, 12, 0.7}, {3, 3, 100, 0.5}, {4, 6, 9, 0.7},
                                       {5, 8, 37, 0.9}, {5, 1, 1, 0.2}, {6, 2, 1000000, 0.7}, {0, 3, 100000, 0.7}}) {
    const Candles& tape = tapes[r.tape];
    const Candles c = r.bins > 1000 && r.tape < 6 ? Candles(tape.begin(), tape.begin() + 10) : tape;
    const auto want = profiles(c, r.n, r.bins, r.f);
    const std::vector<double> p{double(r.n), double(r.bins), r.f};
    expect_outputs("ValueArea", p, c, want[0], "poc vah val");
    expect_outputs("CompositeProfile", p, c, want[1], "poc vah val");
    expect_outputs("HighLowVolumeNodes", p, c, want[2], "hvn lvn");
    expect_outputs("VolumeProfile", p, c, want[3], "price_low price_high");
    expect_outputs("TpoProfile", p, c, want[3], "price_low price_high");
    expect_outputs("VolumeWeightedSr", p, c, volume_weighted(c, r.n), "support resistance");
  }
}

TEST(MarketProfiles, RepeatedAdditionRoundsAsALoop) {
  std::mt19937_64 rng(8);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int t = 0; t < 3000; ++t) {
    const double scale = std::ldexp(1.0, int(u(rng) * 2000) - 1060);
    const double s = t % 4 == 0 ? 0.0 : u(rng) * scale * 64, v = t % 5 == 0 ? s * std::ldexp(1.5, -53) : u(rng) * scale;
    const std::uint64_t times = 1 + std::uint64_t(u(rng) * 20000);
    const double stop = t % 3 == 0 ? kInf : s + v * double(times) * u(rng) * 1.2;
    double sum = s;
    std::uint64_t added = 0;
    while (added < times && !(added > 0 && sum >= stop)) sum += v, ++added;
    const RepeatedSum r = add_repeatedly(s, v, times, stop);
    ASSERT_TRUE(same_bits(r.sum, sum) && r.added == added) << s << " " << v << " " << times << " " << stop;
  }
}

TEST(MarketProfiles, ConstructorChecks) {
  const std::string fraction = "value_area_pct must be in (0, 1]";
  expect_build_outcomes({{"ValueArea", {kZeroCount, 24, 0.7}, kPeriodZeroText}, {"ValueArea", {20, 24, 0}, "invalid period: " + fraction},
                         {"ValueArea", {20, 24, 1.5}, "invalid period: " + fraction}, {"ValueArea", {20, 24, 1}, ""},
                         {"ValueArea", {16777217, 24, -1}, "invalid period: " + fraction}, {"ValueArea", {20, 16777217, 1}, kMaxPeriodText},
                         {"CompositeProfile", {20, 24, 0}, "invalid parameter: " + fraction}, {"CompositeProfile", {20, 24, 0.7}, ""},
                         {"VolumeProfile", {5, kZeroCount}, kPeriodZeroText}, {"TpoProfile", {16777217, 5}, kMaxPeriodText},
                         {"HighLowVolumeNodes", {kZeroCount, 16777217}, kPeriodZeroText}, {"VolumeWeightedSr", {16777217}, kMaxPeriodText},
                         {"VolumeWeightedSr", {16777216}, ""}});
}

}  // namespace
}  // namespace vsci
