// Driving indicators in tests: build a kind through the public factory, feed it
// closes bar by bar and collect what each bar gave; and the seeded input series
// the tests feed (walks, returns, rough values, closes with gaps slipped in).
#pragma once

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "factory/build_indicator.h"
#include "market/bar_context.h"
#include "support/conformance.h"
#include "util/math_constants.h"

namespace vsci::testing {

// One entry per bar; an empty entry is a bar without a value.
using Series = std::vector<std::optional<double>>;

inline const double kNaN = std::numeric_limits<double>::quiet_NaN();

inline IndicatorPtr build_ok(const std::string& kind, std::vector<double> params) {
  note_built_by_name(kind);
  auto r = build_indicator(kind, params);
  if (!r.ok()) throw std::runtime_error("build failed: " + r.error().to_string());
  return std::move(r).value();
}

inline std::string build_error(const std::string& kind, std::vector<double> params) {
  auto r = build_indicator(kind, params);
  if (r.ok()) return "<built>";
  return r.error().to_string();
}

inline std::vector<std::optional<double>> feed_closes(Indicator& ind, const std::vector<double>& closes) {
  std::vector<std::optional<double>> out;
  out.reserve(closes.size());
  Candle c;
  for (double x : closes) {
    c.open = c.high = c.low = c.close = x;
    c.time += 60000;
    out.push_back(ind.update(BarContext(c)));
  }
  return out;
}

// Builds the kind by name and feeds it the closes.
inline Series run_kind(const std::string& kind, std::vector<double> params, const std::vector<double>& closes) {
  auto ind = build_ok(kind, std::move(params));
  return feed_closes(*ind, closes);
}

inline Series as_series(const std::vector<double>& xs) { return Series(xs.begin(), xs.end()); }

// A seeded random walk around `start`, optionally with drift.
inline std::vector<double> random_walk(std::size_t n, unsigned seed, double start = 100.0, double drift = 0.0) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> step(drift, 1.0);
  std::vector<double> xs;
  xs.reserve(n);
  double x = start;
  for (std::size_t i = 0; i < n; ++i) {
    x += step(rng);
    xs.push_back(x);
  }
  return xs;
}

// The walks most reference comparisons run over: a random walk, a rising and a
// falling trend with noise, and a walk that crosses zero.
inline std::vector<std::vector<double>> reference_walks() {
  return {random_walk(2500, 7), random_walk(2500, 11, 100.0, 0.6), random_walk(2500, 13, 500.0, -0.5),
          random_walk(2500, 17, 0.0)};
}

// exp of a random walk: strictly positive closes around `start`.
inline std::vector<double> geometric_walk(std::size_t n, unsigned seed, double start = 100.0, double drift = 0.0) {
  std::vector<double> xs = random_walk(n, seed, 0.0, drift);
  for (double& x : xs) x = start * std::exp(x * 0.01);
  return xs;
}

// Short walks, each followed by a stretch of 8 equal closes (longer than the
// short windows, at levels that leave residue in running sums: 7e-5, 0.1, a
// third, 101.7 and, unless `positive`, -2.3 and 0), then 8 closes rising by
// the exact ratio 1.5 (equal log returns) and a last walk. The levels only
// grow at first, so that no walk is measured against sums of far larger
// values.
inline std::vector<double> flat_stretch_closes(bool positive, unsigned seed = 2) {
  std::vector<double> levels = {7e-5, 0.1, 1.0 / 3.0, 101.7};
  if (!positive) levels.insert(levels.end(), {-2.3, 0.0});
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> step(0.0, 0.05);
  std::vector<double> xs;
  const auto walk = [&](double level) {
    for (int i = 0; i < 6; ++i) xs.push_back(level == 0.0 ? 40.0 * step(rng) : level * (1.0 + step(rng)));
  };
  for (double level : levels) {
    walk(level);
    xs.insert(xs.end(), 8, level);
  }
  double x = 3.0;
  for (int i = 0; i < 8; ++i) xs.push_back(x *= 1.5);
  walk(20.0);
  return xs;
}

// For each bar, whether the n values ending there are all equal.
inline std::vector<bool> flat_windows(const std::vector<double>& xs, std::size_t n) {
  std::vector<bool> out(xs.size(), false);
  for (std::size_t i = n - 1; i < xs.size(); ++i) {
    out[i] = true;
    for (std::size_t j = i + 1 - n; j < i; ++j) out[i] = out[i] && xs[j] == xs[i];
  }
  return out;
}

// Simple returns with the given mean and deviation.
inline std::vector<double> random_returns(std::size_t n, unsigned seed, double mean = 0.0005, double sd = 0.01) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> r(mean, sd);
  std::vector<double> xs(n);
  for (double& x : xs) x = r(rng);
  return xs;
}

// A few small values of both signs with -0.0 and +0.0 among them, drawn so
// that runs repeat, with a flat stretch of one signed zero every 600 values:
// ties, flat windows and zeros that compare equal but differ in sign.
inline std::vector<double> tie_series(std::size_t n, unsigned seed) {
  std::mt19937_64 rng(seed);
  const double pool[] = {-2.0, -1.0, -0.0, 0.0, 0.5, 1.0, 3.0};
  std::vector<double> xs;
  double x = 1.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (i % 600 >= 500) {
      x = i % 1200 >= 600 ? 0.0 : -0.0;
    } else if (rng() % 3 != 0) {
      x = pool[rng() % 7];
    }
    xs.push_back(x);
  }
  return xs;
}

// Values spread over many magnitudes and both signs, so running sums carry
// rounding residue that an exact re-summation visibly removes.
inline std::vector<double> rough_series(std::size_t n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> mant(-1.0, 1.0);
  std::uniform_int_distribution<int> expo(-3, 7);
  std::vector<double> xs(n);
  for (double& x : xs) x = mant(rng) * std::pow(10.0, expo(rng));
  return xs;
}

// Closes with bars slipped in that a kind must skip; gap_of[i] tells whether
// bar i of `closes` is such a bar, and expand() spreads a result series of the
// clean closes over the gapped bars (no value on a gap).
struct Gapped {
  std::vector<double> closes;
  std::vector<bool> gap_of;

  void add(double x, bool gap) {
    closes.push_back(x);
    gap_of.push_back(gap);
  }

  Series expand(const Series& clean) const {
    Series out;
    std::size_t k = 0;
    for (bool g : gap_of) out.push_back(g ? std::nullopt : clean[k++]);
    return out;
  }
};

// NaN and +inf in front, then NaN, +inf or -inf after the 4th close and every
// 7th one from there, and after each close whose index is in `also_after`.
inline Gapped with_gaps(const std::vector<double>& closes, const std::vector<std::size_t>& also_after = {}) {
  const double gaps[] = {kNaN, kInf, -kInf};
  Gapped g;
  g.add(gaps[0], true);
  g.add(gaps[1], true);
  for (std::size_t i = 0; i < closes.size(); ++i) {
    g.add(closes[i], false);
    bool after = i % 7 == 3;
    for (std::size_t j : also_after) after = after || i == j;
    if (after) g.add(gaps[i % 3], true);
  }
  return g;
}

// NaN and infinite closes slipped in before about one close in eight, at
// places drawn from `seed`.
inline Gapped with_random_gaps(const std::vector<double>& clean, unsigned seed) {
  const double bad[] = {kNaN, kInf, -kInf};
  std::mt19937 rng(seed);
  Gapped g;
  for (double x : clean) {
    while (rng() % 8 == 0) g.add(bad[rng() % 3], true);
    g.add(x, false);
  }
  return g;
}

}  // namespace vsci::testing
