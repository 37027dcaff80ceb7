// Volume boxes and the volatility cone against batch loops over the candle
// tapes (zero volumes, flat stretches, closes rising by a constant factor,
// closes of 0 that repeat the last result), and the constructor checks.
#include <gtest/gtest.h>

#include "support/batch_reference.h"
#include "support/candle_run.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// CandleVolume and Equivolume over n volumes, and the cone of log returns of
// positive closes (shifted sums re-centred on every w-th return) in l values.
std::array<OutputSeries, 3> volume_kinds(const Candles& c, std::size_t n, std::size_t w, std::size_t l) {
  std::array<OutputSeries, 3> out;
  out.fill(OutputSeries(c.size()));
  const Series mean = ref::sma(candle_field(c, [](const Candle& x) { return x.volume; }), n);
  std::vector<double> r, sigmas;
  std::optional<double> prev;
  double k = 0, s1 = 0, s2 = 0;
  for (std::size_t i = 0; i < c.size(); ++i) {
    const double width = mean[i] && *mean[i] > 0 ? c[i].volume / *mean[i] : 0.0;
    if (mean[i]) out[0][i] = {c[i].close - c[i].open, width}, out[1][i] = {c[i].high - c[i].low, width};
    if (!(c[i].close > 0) || !prev) {  // no return: keep the first close, or repeat the last result
      if (c[i].close > 0) prev = c[i].close; else if (i) out[2][i] = out[2][i - 1];
      continue;
    }
    r.push_back(std::log(c[i].close / *prev)), prev = c[i].close;
    const std::size_t m = r.size();
    if (m > w) s1 -= r[m - 1 - w] - k, s2 -= (r[m - 1 - w] - k) * (r[m - 1 - w] - k);
    if (m == 1) k = r[0];
    s1 += r.back() - k, s2 += (r.back() - k) * (r.back() - k);
    if (m % w == 0) k = ref::mean(std::vector<double>(r.end() - long(w), r.end())), s1 = s2 = 0;
    for (std::size_t j = m - w; m % w == 0 && j < m; ++j) s1 += r[j] - k, s2 += (r[j] - k) * (r[j] - k);
    if (m < w) continue;
    const bool flat = std::all_of(r.end() - long(w), r.end(), [&](double x) { return x == r.back(); });
    const double var = flat ? 0.0 : (s2 - double(w) * ((s1 / double(w)) * (s1 / double(w)))) / (double(w) - 1);
    sigmas.push_back(std::sqrt(std::max(var, 0.0)));
    if (sigmas.size() < l) continue;
    const auto h = ref::sorted(std::vector<double>(sigmas.end() - long(l), sigmas.end()));
    const double rank = double(std::count_if(h.begin(), h.end(), [&](double v) { return v <= sigmas.back(); }));
    out[2][i] = {sigmas.back(), h[0], l % 2 ? h[l / 2] : (h[l / 2 - 1] + h[l / 2]) * 0.5, h.back(), 100 * rank / double(l)};
  }
  return out;
}

TEST(VolumeCandles, MatchBatchReferencesAndCheckTheirParameters) {
  std::vector<Candles> tapes = candle_run_tapes_with_ties();
  tapes.push_back(Candles(80, Candle{0, 5, 5, 5, 5, 0}));  // constant closes without volume
  // Closes rising exactly x1.5 per bar between rough stretches: equal
  // non-zero returns, whose windows have a deviation of exactly 0.
  Candles rising;
  for (long rough : {5, 6, 8, 3, 40}) {
    rising.insert(rising.end(), tapes[0].begin() + rough, tapes[0].begin() + 2 * rough);
    for (double close = 64.0; close < 1e4; close *= 1.5) rising.push_back({0, close, close, close, close, 1});
  }
  tapes.push_back(rising);
  for (std::size_t i = 60; i < 90; i += 7) tapes[0][i].low = tapes[0][i].close = 0.0;
  for (const Candles& tape : tapes) {
    using Lengths = std::tuple<std::size_t, std::size_t, std::size_t>;
    for (auto [n, w, l] : {Lengths{1, 2, 2}, {4, 5, 8}, {30, 20, 7}, {2, 3, 40}}) {
      const auto want = volume_kinds(tape, n, w, l);
      expect_outputs("CandleVolume", {double(n)}, tape, want[0], "body width");
      expect_outputs("Equivolume", {double(n)}, tape, want[1], "height width");
      expect_outputs("VolatilityCone", {double(w), double(l)}, tape, want[2], "current min median max percentile");
    }
  }
  // The constructor checks, in order.
  const std::string cone = "invalid period: volatility cone window and lookback must both be >= 2";
  expect_build_outcomes({{"CandleVolume", {kZeroCount}, kPeriodZeroText}, {"Equivolume", {16777217}, kMaxPeriodText},
                         {"VolatilityCone", {kZeroCount, 1}, kPeriodZeroText}, {"VolatilityCone", {1, 16777217}, cone},
                         {"VolatilityCone", {2, 16777217}, kMaxPeriodText}, {"VolatilityCone", {16777216, 16777216}, ""}});
}

}  // namespace
}  // namespace vsci
