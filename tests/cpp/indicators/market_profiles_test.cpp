// Window profiles against a bin-by-bin histogram written from its definition
// (a few bins, more bins than candles, 100,000 bins), bin widths that
// underflow or overflow, volume-weighted levels with and without volume;
// the repeated addition the histogram sums with against a plain loop; and
// the constructor checks.
#include <gtest/gtest.h>

#include <random>

#include "indicators/cores/repeated_sum.h"
#include "support/candle_run.h"
#include "support/candle_series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// ValueArea, CompositeProfile, HighLowVolumeNodes, the window range, and the
// volume-weighted means of lows and highs (plain means without volume; the
// kind's running sums agree within rounding).
std::array<OutputSeries, 5> profiles(const Candles& c, std::size_t n, std::size_t bins, double f) {
  std::array<OutputSeries, 5> out;
  out.fill(OutputSeries(c.size()));
  for (std::size_t t = n - 1; t < c.size(); ++t) {
    double hi = -kInf, lo = kInf, hv = 0, lv = 0, vol = 0, h = 0, l = 0;
    for (const Candle& k : Candles(c.begin() + long(t + 1 - n), c.begin() + long(t + 1)))
      hi = std::max(hi, k.high), lo = std::min(lo, k.low), hv += k.high * k.volume, lv += k.low * k.volume,
      vol += k.volume, h += k.high, l += k.low;
    out[4][t] = vol > 0 ? std::vector<double>{lv / vol, hv / vol} : std::vector<double>{l / double(n), h / double(n)};
    const double width = (hi - lo) / double(bins);
    out[3][t] = {lo, hi}, out[0][t] = out[1][t] = {lo, lo, lo}, out[2][t] = {lo, lo};
    if (!(hi - lo > 0) || !(std::isfinite(width) && width > 0)) continue;
    std::vector<double> v(bins, 0.0);
    const auto bin = [&](double p) { return std::size_t(std::min(std::floor((p - lo) / width), bins - 1.0)); };
    for (std::size_t j = t + 1 - n; j <= t; ++j)
      for (std::size_t k = bin(c[j].low); c[j].volume != 0 && k <= bin(c[j].high); ++k)
        v[k] += c[j].volume / double(bin(c[j].high) - bin(c[j].low) + 1);
    double total = 0;
    std::size_t poc = 0, lvn = bins, first, last;
    for (std::size_t k = 0; k < bins; ++k) {
      total += v[k], poc = v[k] > v[poc] ? k : poc;
      if (v[k] > 0 && (lvn == bins || v[k] < v[lvn])) lvn = k;
    }
    first = last = poc;
    for (double acc = v[poc]; acc < total * f && (first > 0 || last + 1 < bins);)
      acc += last + 1 < bins && (first == 0 || v[last + 1] >= v[first - 1]) ? v[++last] : v[--first];
    const auto px = [&](double x) { return lo + width * x; };
    out[0][t] = {px(poc + 0.5), px(double(last + 1)), px(double(first))};
    out[1][t] = {px(poc + 0.5), px(last + 0.5), px(first + 0.5)};
    out[2][t] = {px(poc + 0.5), px((lvn == bins ? poc : lvn) + 0.5)};
  }
  return out;
}

TEST(MarketProfiles, MatchABinByBinHistogramAndCheckTheirParameters) {
  std::vector<Candles> tapes = candle_run_tapes_with_ties();
  tapes.push_back(rough_candles(600, 5));
  for (std::size_t i = 200; i < 213; ++i) tapes.back()[i].volume = 0.1 * double(i % 7);  // leaves residue before no volume
  tapes.push_back(Candles(40));  // a range or a bin width beyond the doubles
  for (std::size_t i = 0; i < 40; ++i) tapes.back()[i] = i % 3 ? Candle{0, 1e-320, 2e-320, 1e-320, 1e-320, 1} : Candle{0, 1, 1e308, -1e308, 1, 1};
  struct Row { std::size_t tape, n, bins; double f; };
  for (const Row& r : std::vector<Row>{{0, 1, 3, 0.7}, {1, 5, 4, 1.0}, {2, 8, 37, 0.3}, {3, 20, 12, 0.7}, {3, 3, 100, 0.5}, {4, 6, 9, 0.7},
                                       {5, 8, 37, 0.9}, {5, 1, 1, 0.2}, {6, 2, 1000000, 0.7}, {0, 3, 100000, 0.7}}) {
    const Candles c = r.bins > 1000 && r.tape < 6 ? Candles(tapes[r.tape].begin(), tapes[r.tape].begin() + 10) : tapes[r.tape];
    const auto want = profiles(c, r.n, r.bins, r.f);
    const std::vector<double> p{double(r.n), double(r.bins), r.f};
    const std::string names[] = {"poc vah val", "poc vah val", "hvn lvn", "price_low price_high", "support resistance"};
    for (auto [kind, at] : {std::pair<const char*, std::size_t>{"ValueArea", 0}, {"CompositeProfile", 1}, {"HighLowVolumeNodes", 2},
                            {"VolumeProfile", 3}, {"TpoProfile", 3}, {"VolumeWeightedSr", 4}})
      expect_outputs(kind, p, c, want[at], names[at], at == 4 ? 1e-9 : 0.0);
  }
  // The constructor checks, in order.
  const std::string fraction = "value_area_pct must be in (0, 1]", period = "invalid period: " + fraction;
  expect_build_outcomes({{"ValueArea", {kZeroCount, 24, 0.7}, kPeriodZeroText}, {"ValueArea", {20, 24, 0}, period},
                         {"ValueArea", {20, 24, 1.5}, period}, {"ValueArea", {20, 24, 1}, ""}, {"ValueArea", {16777217, 24, -1}, period},
                         {"ValueArea", {20, 16777217, 1}, kMaxPeriodText}, {"CompositeProfile", {20, 24, 0}, "invalid parameter: " + fraction},
                         {"VolumeProfile", {5, kZeroCount}, kPeriodZeroText}, {"TpoProfile", {16777217, 5}, kMaxPeriodText},
                         {"HighLowVolumeNodes", {kZeroCount, 16777217}, kPeriodZeroText}, {"VolumeWeightedSr", {16777217}, kMaxPeriodText}});
}

TEST(MarketProfiles, RepeatedAdditionRoundsAsALoop) {
  std::mt19937_64 rng(8);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int t = 0; t < 3000; ++t) {
    const double scale = std::ldexp(1.0, int(u(rng) * 2000) - 1060), s = t % 4 == 0 ? 0.0 : u(rng) * scale * 64;
    const double v = t % 5 == 0 ? s * std::ldexp(1.5, -53) : u(rng) * scale, times = 1 + std::floor(u(rng) * 20000);
    const double stop = t % 3 == 0 ? kInf : s + v * times * u(rng) * 1.2;
    double sum = s, added = 0;  // one addition, then more while below stop
    while (added < times && !(added > 0 && sum >= stop)) sum += v, ++added;
    const RepeatedSum r = add_repeatedly(s, v, std::uint64_t(times), stop);
    ASSERT_TRUE(same_bits(r.sum, sum) && double(r.added) == added) << s << " " << v << " " << times << " " << stop;
  }
}

}  // namespace
}  // namespace vsci
