// The deviation bands, envelopes and price channels against batch references
// written from their formulas, bit for bit, each bar's named outputs as one
// vector (the main value must be the first); the cases their definitions fix
// by hand; and the construction checks in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "support/batch_reference.h"
#include "support/candle_series.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;
using Lines = std::optional<std::vector<double>>;
using LineSeries = std::vector<Lines>;

LineSeries run_lines(const std::string& kind, const Params& p, const Candles& candles) {
  auto ind = build_ok(kind, p);
  LineSeries out(candles.size());
  for (std::size_t i = 0; i < candles.size(); ++i) {
    const auto v = ind->update(BarContext(candles[i]));
    if (!v) continue;
    out[i].emplace();
    for (const NamedOutput& o : ind->outputs()) out[i]->push_back(o.value);
    EXPECT_TRUE(same_bits(*v, out[i]->at(0))) << kind << ": the main value is not the first output";
  }
  return out;
}

std::vector<double> field(const Candles& c, double Candle::*member) {
  std::vector<double> v(c.size());
  std::ranges::transform(c, v.begin(), [member](const Candle& k) { return k.*member; });
  return v;
}
std::vector<double> closes(const Candles& c) { return field(c, &Candle::close); }

// f(closes, highs, lows of the n bars ending at bar i) on every bar that ends a full window.
template <class F>
LineSeries windowed(const Candles& c, double n, F f) {
  LineSeries out(c.size());
  for (std::size_t i = std::size_t(n) - 1; i < c.size(); ++i) {
    const Candles w(c.begin() + long(i + 1 - std::size_t(n)), c.begin() + long(i + 1));
    out[i] = f(field(w, &Candle::close), field(w, &Candle::high), field(w, &Candle::low));
  }
  return out;
}
using Prices = const std::vector<double>&;

// middle ± k·width on the bars where both exist.
LineSeries around(const Series& mid, const Series& width, double k) {
  LineSeries out(mid.size());
  for (std::size_t i = 0; i < mid.size(); ++i)
    if (mid[i] && width[i]) out[i] = std::vector{*mid[i] + k * *width[i], *mid[i], *mid[i] - k * *width[i]};
  return out;
}

Series closes_sma(const Candles& c, double n) { return ref::sma(closes(c), std::size_t(n)); }

// Wilder's average of the true range, its step fused.
Series fused_atr(const Candles& c, double n) {
  std::vector<double> tr = per_move(c, [](const Candle& k, const Candle& prev) {
    return std::max({k.high - k.low, std::fabs(k.high - prev.close), std::fabs(k.low - prev.close)});
  });
  tr.insert(tr.begin(), c[0].high - c[0].low);
  return seeded(tr, std::size_t(n), [n](double a, double x) { return std::fma(a, n - 1.0, x) * (1.0 / n); });
}

LineSeries bollinger(const Candles& c, const Params& p) {  // p = {n, k} or {n, k_inner, k_outer}
  LineSeries out;
  for (const auto& b : ref::bollinger(closes(c), std::size_t(p[0]), p.back())) {
    const double m = b ? b->middle : 0, in = b ? p[1] * b->deviation : 0;
    out.push_back(!b ? Lines() : p.size() == 2 ? Lines({b->upper, m, b->lower, b->deviation})
                                               : Lines({b->upper, m + in, m, m - in, b->lower}));
  }
  return out;
}

// The least-squares line of y against 0 .. n - 1 on y's offsets from its mean: {mean, Σd, slope}.
std::array<double, 3> fit(Prices y) {
  const double n = double(y.size()), sx = (n - 1) * n * 0.5, sxx = (n - 1) * n * (2 * n - 1) / 6, mean = ref::mean(y);
  double sd = 0, sxd = 0;
  for (std::size_t i = 0; i < y.size(); ++i) sd += y[i] - mean, sxd += double(i) * (y[i] - mean);
  return {mean, sd, (n * sxd - sx * sd) / (n * sxx - sx * sx)};
}

// The line at the newest bar, k spreads of the residuals about it (divisor n - lost).
auto regression(double lost) {
  return [lost](const Candles& c, const Params& p) {
    return windowed(c, p[0], [&](Prices y, Prices, Prices) {
      const auto [mean, sd, b] = fit(y);
      const double n = p[0], a = (sd - (n - 1) * n * 0.5 * b) / n;
      double r = 0;
      for (std::size_t i = 0; i < y.size(); ++i) r += std::pow((y[i] - mean) - (a + b * double(i)), 2);
      const double s = std::sqrt(r / (n - lost)), mid = (n - 1) * b + (mean + a);
      return std::vector{mid + p[1] * s, mid, mid - p[1] * s};
    });
  };
}

LineSeries vwap_bands(const Candles& c, const Params& p) {
  LineSeries out(c.size());
  const double ref = (c[0].high + c[0].low + c[0].close) / 3;
  double svd = 0, svd2 = 0, sv = 0;
  for (std::size_t i = 0; i < c.size(); ++i) {
    const double d = (c[i].high + c[i].low + c[i].close) / 3 - ref, v = c[i].volume;
    svd += v * d, svd2 += v * (d * d), sv += v;
    const double mu = svd / sv, s = std::sqrt(std::max(0.0, svd2 / sv - mu * mu));
    if (sv != 0) out[i] = std::vector{ref + mu + p[0] * s, ref + mu, ref + mu - p[0] * s, s};
  }
  return out;
}

LineSeries quartiles(const Candles& c, const Params& p) {
  return windowed(c, p[0], [](Prices x, Prices, Prices) {
    return std::vector{ref::quantile(x, .75), ref::quantile(x, .5), ref::quantile(x, .25)};
  });
}

// Each high and low carried forward to the newest bar along its side's slope.
LineSeries projection(const Candles& c, const Params& p) {
  return windowed(c, p[0], [&](Prices, Prices h, Prices l) {
    double up = -kInf, down = kInf;
    for (std::size_t j = 0; j < h.size(); ++j) {
      up = std::max(up, h[j] + fit(h)[2] * (p[0] - 1 - double(j)));
      down = std::min(down, l[j] + fit(l)[2] * (p[0] - 1 - double(j)));
    }
    return std::vector{up, (up + down) * 0.5, down};
  });
}

LineSeries envelope(const Candles& c, const Params& p) {
  LineSeries out;
  for (const auto& m : closes_sma(c, p[0])) out.push_back(m ? Lines({*m * (1 + p[1]), *m, *m * (1 - p[1])}) : Lines());
  return out;
}

LineSeries starc(const Candles& c, const Params& p) { return around(closes_sma(c, p[0]), fused_atr(c, p[1]), p[2]); }
LineSeries ema_atr(const Candles& c, const Params& p) {
  return around(ref::ema(closes(c), std::size_t(p[0])), fused_atr(c, p[1]), p[2]);
}
LineSeries close_atr(const Candles& c, const Params& p) { return around(as_series(closes(c)), fused_atr(c, p[0]), p[1]); }

LineSeries acceleration(const Candles& c, const Params& p) {
  std::vector<double> up, down;
  for (const Candle& k : c) {
    const double r = k.high + k.low == 0 ? 0 : (k.high - k.low) / (k.high + k.low);
    up.push_back(k.high * std::fma(p[1], r, 1.0)), down.push_back(k.low * std::fma(-p[1], r, 1.0));
  }
  const Series u = ref::sma(up, std::size_t(p[0])), m = closes_sma(c, p[0]), l = ref::sma(down, std::size_t(p[0]));
  LineSeries out(c.size());
  for (std::size_t i = 0; i < c.size(); ++i)
    if (m[i]) out[i] = std::vector{*u[i], *m[i], *l[i]};
  return out;
}

LineSeries donchian(const Candles& c, const Params& p) {
  return windowed(c, p[0], [](Prices, Prices h, Prices l) {
    return std::vector{std::ranges::max(h), (std::ranges::max(h) + std::ranges::min(l)) * 0.5, std::ranges::min(l)};
  });
}

LineSeries hurst(const Candles& c, const Params& p) {
  Series range;
  for (const Lines& d : donchian(c, p)) range.push_back(d ? std::optional((*d)[0] - (*d)[2]) : std::nullopt);
  return around(closes_sma(c, p[0]), range, p[1]);
}

// centre ± width: BomarBands the mean ± |mean| times the share p[1] of the
// closes' deviations relative to it; MedianChannel the median ± p[1] times
// the median absolute deviation.
auto deviation_quantile(bool bomar) {
  return [bomar](const Candles& c, const Params& p) {
    return windowed(c, p[0], [&](Prices x, Prices, Prices) {
      const double m = bomar ? ref::flat_exact_mean(x) : ref::quantile(x, 0.5), scale = bomar ? std::fabs(m) : 1;
      std::vector<double> d;
      for (double v : x) d.push_back(scale == 0 ? 0 : std::fabs(v - m) / scale);
      const double band = bomar ? scale * ref::quantile(d, p[1]) : p[1] * ref::quantile(d, 0.5);
      return std::vector{m + band, m, m - band};
    });
  };
}

// The newest strict fractal high and low of windows of 2k + 1 bars: the
// middle bar's high is the only one at or above it (its low likewise).
LineSeries fractals(const Candles& c, const Params& p) {
  std::optional<double> up, down;
  return windowed(c, 2 * p[0] + 1, [&, k = std::size_t(p[0])](Prices, Prices h, Prices l) {
    if (std::ranges::count_if(h, [&](double x) { return x >= h[k]; }) == 1) up = h[k];
    if (std::ranges::count_if(l, [&](double x) { return x <= l[k]; }) == 1) down = l[k];
    return up && down ? Lines({*up, *down}) : Lines();
  });
}

TEST(BandsAndChannels, MatchBatchReferences) {
  using Reference = std::function<LineSeries(const Candles&, const Params&)>;
  const std::vector<std::tuple<std::string, Reference, std::vector<Params>>> rows = {
      {"BollingerBands", bollinger, {{2, 2.0}, {14, 1.5}, {40, 2.0}}},
      {"DoubleBollinger", bollinger, {{5, 1.0, 2.0}, {21, 0.5, 3.0}}},
      {"LinRegChannel", regression(0), {{2, 1.0}, {14, 2.0}, {50, 0.5}}},
      {"StandardErrorBands", regression(2), {{3, 1.0}, {21, 2.0}}}, {"VwapStdDevBands", vwap_bands, {{2.0}}},
      {"QuartileBands", quartiles, {{1}, {4}, {25}}}, {"ProjectionBands", projection, {{2}, {9}, {30}}},
      {"MaEnvelope", envelope, {{1, 0.5}, {10, 0.025}, {40, 0.1}}},
      {"StarcBands", starc, {{6, 15, 2.0}, {15, 6, 1.5}, {1, 1, 1.0}}},
      {"EmaAtrChannel", ema_atr, {{10, 14, 2.0}, {30, 3, 0.5}}}, {"CloseAtrBands", close_atr, {{1, 1.0}, {14, 2.0}}},
      {"AccelerationBands", acceleration, {{1, 4.0}, {20, 2.0}}},
      {"HurstChannel", hurst, {{1, 1.0}, {10, 0.5}, {33, 2.0}}},
      {"BomarBands", deviation_quantile(true), {{1, 0.5}, {20, 0.85}, {31, 1.0}, {32, 0.3}, {60, 0.1}}},
      {"Donchian", donchian, {{1}, {20}, {55}}}, {"FractalChaosBands", fractals, {{1}, {2}, {5}}},
      {"MedianChannel", deviation_quantile(false), {{1, 2.0}, {4, 1.5}, {15, 2.0}, {40, 0.5}}},
  };
  for (const Candles& tape : candle_tapes()) {
    for (const auto& [kind, reference, param_lists] : rows) {
      for (const Params& p : param_lists) {
        const LineSeries got = run_lines(kind, p, tape), want = reference(tape, p);
        const auto bad = std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
        ASSERT_EQ(bad, long(got.size())) << kind << " first differs on bar " << bad;
      }
    }
  }
}

// A candle; open and close both at `close`.
Candle bar(double high, double low, double close, double volume = 1) { return {0, close, high, low, close, volume}; }

TEST(BandsAndChannels, HandCases) {
  const std::vector<std::tuple<std::string, Params, Candles, Lines>> cases = {
      // Flat from the start: the deviation is exactly 0, through the re-centrings.
      {"DoubleBollinger", {4, 1, 2}, Candles(11, bar(0.1, 0.1, 0.1)), std::vector(5, 0.1)},
      {"VwapStdDevBands", {2}, {bar(3, 1, 2, 0), bar(5, 3, 4, 0)}, std::nullopt},
      // A bar without volume carries no weight.
      {"VwapStdDevBands", {2}, {bar(3, 1, 2, 0), bar(5, 2, 2, 1)}, Lines({3, 3, 3, 0})},
      {"AccelerationBands", {1, 2}, {bar(1, -1, 0)}, Lines({1, 0, -1})},
      // A line stretched past the largest double refuses the bar whole, so the
      // three averages keep holding the same bars.
      {"AccelerationBands", {2, 1e300}, {bar(2, 2, 2), bar(1, 0x1p-52 - 1, 0), bar(4, 4, 4)}, Lines({3, 3, 3})},
      {"BomarBands", {2, 0.5}, {bar(-1, -1, -1), bar(1, 1, 1)}, Lines({0, 0, 0})},
      {"Donchian", {1}, {bar(1.7e308, 1.7e308, 1.7e308)}, Lines({1.7e308, 1.7e308, 1.7e308})},
      // High below low: a close-fed kind still takes the close.
      {"QuartileBands", {1}, {bar(1, 2, 5)}, Lines({5, 5, 5})},
  };
  for (const auto& [kind, params, candles, want] : cases) {
    EXPECT_EQ(run_lines(kind, params, candles).back(), want) << kind;
  }
}

// Short windows over stretches of one repeated close longer than the window:
// there the deviation is exactly +0.0 and every line exactly the close; off
// the stretch the bands follow the references bit for bit again.
TEST(BandsAndChannels, ShortFlatStretchesGiveTheCloseExactly) {
  using Reference = std::function<LineSeries(const Candles&, const Params&)>;
  Candles tape;
  for (double x : flat_stretch_closes(false)) tape.push_back(bar(x, x, x));
  for (double n = 2; n <= 5; ++n) {
    const std::vector<bool> flat = flat_windows(closes(tape), std::size_t(n));
    const std::vector<std::tuple<std::string, Reference, Params, std::size_t>> rows = {
        {"BollingerBands", bollinger, {n, 2.0}, 3},  // the stddev line is last
        {"DoubleBollinger", bollinger, {n, 1.0, 2.5}, 5},
        {"BomarBands", deviation_quantile(true), {n, 0.8}, 3}};
    for (const auto& [kind, reference, p, price_lines] : rows) {
      const LineSeries got = run_lines(kind, p, tape), want = reference(tape, p);
      for (std::size_t i = 0; i < tape.size(); ++i) {
        ASSERT_EQ(got[i].has_value(), want[i].has_value()) << kind << " bar " << i;
        if (!got[i]) continue;
        for (std::size_t j = 0; j < got[i]->size(); ++j) {
          const double on_flat = j < price_lines ? tape[i].close : 0.0;
          ASSERT_TRUE(same_bits((*got[i])[j], (*want[i])[j]) && (!flat[i] || same_bits((*got[i])[j], on_flat)))
              << kind << " " << n << " bar " << i << " line " << j << ": " << (*got[i])[j];
        }
      }
    }
  }
}

TEST(BandsAndChannels, ConstructionChecksInOrder) {
  const std::string mult = "multiplier must be greater than zero", ip = "invalid period: ";
  const std::string coverage = "invalid parameter: bomar bands coverage must be a finite value in (0.0, 1.0]";
  const double z = kZeroCount, big = 16777217;
  expect_build_outcomes({
      {"BollingerBands", {z, -1}, kPeriodZeroText}, {"BollingerBands", {big, 0}, kMaxPeriodText},
      {"BollingerBands", {16777216, 5e-324}, ""}, {"DoubleBollinger", {big, -1, 0.5}, mult},
      {"DoubleBollinger", {z, 2, 2}, ip + "double bollinger requires k_outer > k_inner"},
      {"LinRegChannel", {z, -1}, ip + "linear regression channel needs period >= 2"},
      {"LinRegChannel", {big, -1}, kMaxPeriodText}, {"LinRegChannel", {2, -0.0}, mult},
      {"StandardErrorBands", {2, 1}, ip + "standard error bands need period >= 3"},
      {"ProjectionBands", {1}, ip + "projection bands need period >= 2"}, {"QuartileBands", {z}, kPeriodZeroText},
      {"QuartileBands", {big}, kMaxPeriodText}, {"VwapStdDevBands", {-0.0}, mult}, {"MaEnvelope", {big, 0}, mult},
      {"StarcBands", {big, z, 0}, mult}, {"StarcBands", {big, z, 1}, kMaxPeriodText},
      {"StarcBands", {5, z, 1}, kPeriodZeroText}, {"EmaAtrChannel", {z, big, 1}, kPeriodZeroText},
      {"CloseAtrBands", {z, -1}, mult}, {"AccelerationBands", {big, -2}, mult}, {"HurstChannel", {z, 0}, mult},
      {"BomarBands", {z, 5}, kPeriodZeroText}, {"BomarBands", {5, 0}, coverage}, {"BomarBands", {5, 1}, ""},
      {"BomarBands", {5, std::nextafter(1.0, 2.0)}, coverage}, {"MedianChannel", {big, 0}, kMaxPeriodText},
      {"MedianChannel", {5, -1}, mult}, {"Donchian", {z}, kPeriodZeroText}, {"Donchian", {big}, kMaxPeriodText},
      {"FractalChaosBands", {z}, kPeriodZeroText}, {"FractalChaosBands", {16777216}, ""},
  });
}

}  // namespace
}  // namespace vsci
