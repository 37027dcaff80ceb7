// Driving candle kinds in tests: a kind built by name fed a list of candles;
// the tapes they are checked over (the rough one reaches the kinds' fallbacks
// with a run of zero volume after fractional volumes, flat bars at one price
// and constant volume); and the plain array steps the references are written
// with. A kind against its batch reference is support/candle_checks.h's.
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "support/bar_tape.h"
#include "support/compare.h"
#include "support/series.h"

namespace vsci::testing {

using Candles = std::vector<Candle>;
using Params = std::vector<double>;

inline Series run_candles(const std::string& kind, Params params, const Candles& candles) {
  auto ind = build_ok(kind, std::move(params));
  Series out;
  for (const Candle& c : candles) out.push_back(ind->update(BarContext(c)));
  return out;
}

// Prices and volumes over many magnitudes, so that running sums keep residue;
// every 500 bars, 60 bars of zero volume, 60 flat bars and 60 bars of one
// volume.
inline Candles rough_candles(std::size_t n, unsigned seed) {
  Candles c = make_tape(n, seed).candles;
  for (std::size_t i = 0; i < c.size(); ++i) {
    const double scale = std::pow(10.0, double(i % 5) - 2.0);
    c[i].open *= scale, c[i].high *= scale, c[i].low *= scale, c[i].close *= scale;
    c[i].volume *= 0.37 * std::pow(10.0, double(i % 3) - 1.0);
    const std::size_t phase = i % 500;
    if (phase >= 213 && phase < 273) c[i].volume = 0.0;
    if (phase >= 307 && phase < 367) c[i].open = c[i].high = c[i].low = c[i].close = 123.25;
    if (phase >= 411 && phase < 471) c[i].volume = 777.0;
  }
  return c;
}

// A random tape, a trending one and a rough one.
inline std::vector<Candles> candle_tapes() {
  return {make_tape(1500, 41).candles, make_tape(1500, 42, 100.0, 0.3).candles, rough_candles(1500, 43)};
}

// The sum of v over the n entries ending at i, oldest first, from +0.0.
inline double window_sum(const std::vector<double>& v, std::size_t i, std::size_t n) {
  double s = 0.0;
  for (std::size_t j = i + 1 - n; j <= i; ++j) s += v[j];
  return s;
}

// f(bar, previous bar) for bars 1 .. size - 1: entry k belongs to bar k + 1.
template <class F>
std::vector<double> per_move(const Candles& c, F f) {
  std::vector<double> v;
  for (std::size_t i = 1; i < c.size(); ++i) v.push_back(f(c[i], c[i - 1]));
  return v;
}

// Nothing for the first n - 1 inputs, their plain mean (summed from +0.0) on
// the n-th, then step(average, x).
inline Series seeded(const std::vector<double>& xs, std::size_t n, const std::function<double(double, double)>& step) {
  Series out(xs.size());
  double a = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    a = i < n ? a + xs[i] : step(a, xs[i]);
    if (i + 1 == n) a /= double(n);
    if (i + 1 >= n) out[i] = a;
  }
  return out;
}

// f of two series over moves (as per_move numbers them), as a series of bars.
template <class F>
Series moves_to_bars(const Series& a, const Series& b, F f) {
  Series out(a.size() + 1);
  for (std::size_t k = 0; k < a.size(); ++k)
    if (a[k] && b[k]) out[k + 1] = f(*a[k], *b[k]);
  return out;
}

}  // namespace vsci::testing
