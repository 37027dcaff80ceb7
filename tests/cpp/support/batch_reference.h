// Batch reference computations written straight from their definitions over
// plain arrays (index arithmetic, no rings), for tests to compare streaming
// results against: the averaging cores bit for bit, and plain window
// statistics. Inputs are all finite.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <vector>

#include "indicators/cores/bollinger_core.h"
#include "support/series.h"

namespace vsci::testing::ref {

// Runs a reference over the present values of `in` (what a chained stage is
// fed) and puts each result back at the bar its input came from.
template <class F>
Series over_present(const Series& in, F reference) {
  std::vector<double> present;
  for (const auto& x : in)
    if (x) present.push_back(*x);
  const Series inner = reference(present);
  Series out(in.size());
  std::size_t k = 0;
  for (std::size_t i = 0; i < in.size(); ++i)
    if (in[i]) out[i] = inner[k++];
  return out;
}

// Running sum x + (sum - old) from +0.0, re-summed exactly from -0.0 over the
// window on every 16p-th input when `resum` is set.
inline Series sma(const std::vector<double>& xs, std::size_t p, bool resum = true) {
  Series out(xs.size());
  double sum = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    sum = i < p ? xs[i] + sum : xs[i] + (sum - xs[i - p]);
    if (resum && (i + 1) % (16 * p) == 0) {
      double s = -0.0;
      for (std::size_t j = i + 1 - p; j <= i; ++j) s = s + xs[j];
      sum = s;
    }
    if (i + 1 >= p) out[i] = sum / static_cast<double>(p);
  }
  return out;
}

// Seeded by the mean of the first p inputs (summed from -0.0), then one fused
// step alpha * x + round((1 - alpha) * value), or unfused when `fused` is off;
// alpha is 2 / (p + 1) unless given.
inline Series ema(const std::vector<double>& xs, std::size_t p, bool fused = true, double given_alpha = 0.0) {
  Series out(xs.size());
  const double alpha = given_alpha != 0.0 ? given_alpha : 2.0 / (static_cast<double>(p) + 1.0);
  const double keep = 1.0 - alpha;
  double seed = -0.0;
  double value = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i < p) {
      seed = xs[i] + seed;
      if (i + 1 < p) continue;
      value = seed / static_cast<double>(p);
    } else {
      const double kept = keep * value;
      value = fused ? std::fma(alpha, xs[i], kept) : alpha * xs[i] + kept;
    }
    out[i] = value;
  }
  return out;
}

// The candle kinds' smoother: the same, both products rounded.
inline Series mean_seeded(const std::vector<double>& xs, std::size_t p) { return ema(xs, p, false); }

inline Series mean_seeded(const Series& in, std::size_t p) {
  return over_present(in, [p](const std::vector<double>& v) { return mean_seeded(v, p); });
}

// The same Ema, and the Sma, over the present entries of a series with gaps.
inline Series ema(const Series& in, std::size_t p) {
  return over_present(in, [p](const std::vector<double>& v) { return ema(v, p); });
}
inline Series sma(const Series& in, std::size_t p) {
  return over_present(in, [p](const std::vector<double>& v) { return sma(v, p); });
}

// Weights 1 (oldest) .. p (newest) over the divisor (p + 1) * p * 0.5; running
// weighted and plain sums, both re-summed from -0.0 on the 17p-th, 33p-th ...
// input when `resum` is set.
inline Series wma(const std::vector<double>& xs, std::size_t p, bool resum = true) {
  Series out(xs.size());
  const double n = static_cast<double>(p);
  const double denominator = (n + 1.0) * n * 0.5;
  double plain = 0.0;
  double weighted = 0.0;
  auto exact = [&](std::size_t last) {
    plain = -0.0;
    weighted = -0.0;
    for (std::size_t j = 0; j < p; ++j) {
      const double v = xs[last + 1 - p + j];
      plain = plain + v;
      weighted = weighted + (static_cast<double>(j) + 1.0) * v;
    }
  };
  for (std::size_t i = 0; i < xs.size(); ++i) {
    const double x = xs[i];
    if (i + 1 < p) {
      plain = plain + x;
      continue;
    }
    if (i + 1 == p) {
      plain = plain + x;
      const double keep_plain = plain;
      exact(i);
      plain = keep_plain;
    } else {
      weighted = (weighted - plain) + x * n;
      plain = x + (plain - xs[i - p]);
      if (resum && (i + 1 - p) % (16 * p) == 0) exact(i);
    }
    out[i] = weighted / denominator;
  }
  return out;
}

// The running sum of the last n entries of xs after each entry: once n are
// held the oldest is subtracted, and the sum is +0.0 when the n - 1 that stay
// hold no non-zero value; then the newest is added. Every `every` entries it
// is recomputed from `start`, oldest first.
inline std::vector<double> counted_sums(const std::vector<double>& xs, std::size_t n, std::size_t every,
                                        double start) {
  std::vector<double> out;
  double sum = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i >= n) {
      sum -= xs[i - n];
      if (std::all_of(xs.begin() + long(i - n + 1), xs.begin() + long(i), [](double v) { return v == 0.0; }))
        sum = 0.0;
    }
    sum += xs[i];
    if ((i + 1) % every == 0) {
      sum = start;
      for (std::size_t j = i + 1 - std::min(n, i + 1); j <= i; ++j) sum += xs[j];
    }
    out.push_back(sum);
  }
  return out;
}

// The volume-weighted average of the last n (price, volume) pairs: price x
// volume, volume and price in counted sums re-summed from +0.0 every n pairs;
// the plain mean of the prices while the volume sum is not above 0.
inline Series vwma(const std::vector<double>& price, const std::vector<double>& volume, std::size_t n) {
  std::vector<double> pv;
  for (std::size_t i = 0; i < price.size(); ++i) pv.push_back(price[i] * volume[i]);
  const auto vs = counted_sums(volume, n, n, 0.0), pvs = counted_sums(pv, n, n, 0.0);
  const auto ps = counted_sums(price, n, n, 0.0);
  Series out(price.size());
  for (std::size_t i = n - 1; i < price.size(); ++i) out[i] = vs[i] > 0.0 ? pvs[i] / vs[i] : ps[i] / double(n);
  return out;
}

// Chande momentum over p moves of xs (first value on input p + 1): running up
// and down sums, up + sum and down + sum from +0.0, oldest move subtracted
// first; with `reset`, a sum whose window keeps no non-zero move is +0.0.
inline Series cmo(const std::vector<double>& xs, std::size_t p, bool reset = true) {
  Series out(xs.size());
  std::vector<double> up, down;
  double su = 0.0, sd = 0.0;
  for (std::size_t i = 1; i < xs.size(); ++i) {
    const double diff = xs[i] - xs[i - 1];
    const std::size_t j = up.size();
    if (j >= p) {
      su -= up[j - p];
      sd -= down[j - p];
      bool any_up = false, any_down = false;
      for (std::size_t m = j - p + 1; m < j; ++m) any_up |= up[m] != 0.0, any_down |= down[m] != 0.0;
      if (reset && !any_up) su = 0.0;
      if (reset && !any_down) sd = 0.0;
    }
    up.push_back(std::max(diff, 0.0));
    down.push_back(std::max(-diff, 0.0));
    su = up.back() + su;
    sd = down.back() + sd;
    if (up.size() >= p) out[i] = su + sd == 0.0 ? 0.0 : (su - sd) * 100.0 / (su + sd);
  }
  return out;
}

// Plain mean, summed from +0.0 oldest first.
inline double mean(const std::vector<double>& w) {
  double s = 0.0;
  for (double v : w) s += v;
  return s / static_cast<double>(w.size());
}

// All values of w equal (w not empty).
inline bool flat(const std::vector<double>& w) {
  return std::all_of(w.begin(), w.end(), [&](double v) { return v == w.back(); });
}

// The mean under the flat-window rule: a window of one repeated value has
// exactly that value as its mean.
inline double flat_exact_mean(const std::vector<double>& w) { return flat(w) ? w.back() : mean(w); }

inline std::vector<double> sorted(std::vector<double> w) {
  std::sort(w.begin(), w.end());
  return w;
}

// Linear interpolation between the order statistics at position p * (n - 1).
inline double quantile(const std::vector<double>& w, double p) {
  const auto s = sorted(w);
  const double pos = p * static_cast<double>(s.size() - 1);
  const std::size_t i = static_cast<std::size_t>(std::floor(pos));
  if (i + 1 >= s.size()) return s.back();
  return s[i] + (pos - std::floor(pos)) * (s[i + 1] - s[i]);
}

// The Bollinger core's bands: shifted sums, re-centred on the window mean
// every p inputs; a window of one repeated value has it as middle and no
// deviation.
inline std::vector<std::optional<BollingerValue>> bollinger(const std::vector<double>& xs, std::size_t p, double k) {
  std::vector<std::optional<BollingerValue>> out(xs.size());
  double shift = xs[0], sum_d = 0.0, sum_d2 = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i >= p) {
      const double d_old = xs[i - p] - shift;
      sum_d -= d_old;
      sum_d2 -= d_old * d_old;
    }
    const double d = xs[i] - shift;
    sum_d += d;
    sum_d2 = sum_d2 + d * d;
    if ((i + 1) % p == 0) {
      const std::size_t first = i + 1 - std::min(i + 1, p);
      double s = 0.0;
      for (std::size_t j = first; j <= i; ++j) s += xs[j];
      shift = s / double(i + 1 - first);
      sum_d = 0.0, sum_d2 = 0.0;
      for (std::size_t j = first; j <= i; ++j) sum_d += xs[j] - shift, sum_d2 += (xs[j] - shift) * (xs[j] - shift);
    }
    if (i + 1 < p) continue;
    const bool still = flat(std::vector<double>(xs.begin() + long(i + 1 - p), xs.begin() + long(i + 1)));
    const double mean_d = sum_d / double(p), middle = still ? xs[i] : shift + mean_d;
    double var = sum_d2 / double(p) - mean_d * mean_d;
    if (still || var < 0.0 || (var == 0.0 && std::signbit(var))) var = 0.0;
    const double dev = std::sqrt(var);
    out[i] = BollingerValue{middle + k * dev, middle, middle - k * dev, dev};
  }
  return out;
}

}  // namespace vsci::testing::ref
