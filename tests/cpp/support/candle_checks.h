// Candle kinds against batch references: a table of (kind, parameters,
// reference) rows run over several candle tapes, each compared bar by bar and
// its first value placed on the bar warmup() names; a coarse-grid tape whose
// equal prices make ties and flat windows; small helpers the references share.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/bar_tape.h"
#include "support/compare.h"
#include "support/counted_sums.h"
#include "support/series.h"

namespace vsci::testing {

using Candles = std::vector<Candle>;
using Params = std::vector<double>;

// Parameter i as a count.
inline std::size_t count_at(const Params& p, std::size_t i) { return static_cast<std::size_t>(p[i]); }

// f(a, b) on the bars where both have a value.
template <class F>
Series zip(const Series& a, const Series& b, F f) {
  Series out(a.size());
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] && b[i]) out[i] = f(*a[i], *b[i]);
  return out;
}

// num / den on bars where den > 0, else the last such value (none before).
inline Series ratio_or_last(const Series& num, const Series& den) {
  Series out(num.size());
  std::optional<double> last;
  for (std::size_t i = 0; i < num.size(); ++i) {
    if (!num[i] || !den[i]) continue;
    if (*den[i] > 0.0) last = *num[i] / *den[i];
    out[i] = last;
  }
  return out;
}

// A number per bar index.
using Term = std::function<double(std::size_t bar)>;

// combine(Σ a, Σ b, n) over the n bars ending at each bar from `first` on,
// each sum from -0.0, oldest first; or, with `counted`, each sum kept as a
// running window under that rule from the bar first + 1 - n on.
inline Series over_windows(const Candles& cs, std::size_t n, std::size_t first, const Term& a, const Term& b,
                           const std::function<double(double, double, double)>& combine,
                           std::optional<WindowSumRule> counted = std::nullopt) {
  Series out(cs.size());
  if (counted) {
    std::vector<double> ta, tb;
    for (std::size_t j = first + 1 - n; j < cs.size(); ++j) ta.push_back(a(j)), tb.push_back(b(j));
    const auto sa = window_sums(ta, n, *counted), sb = window_sums(tb, n, *counted);
    for (std::size_t t = first, k = n - 1; t < cs.size(); ++t, ++k) out[t] = combine(sa[k], sb[k], double(n));
    return out;
  }
  for (std::size_t t = first; t < cs.size(); ++t) {
    double sa = -0.0, sb = -0.0;
    for (std::size_t j = t + 1 - n; j <= t; ++j) sa += a(j), sb += b(j);
    out[t] = combine(sa, sb, double(n));
  }
  return out;
}

// The reference of a row: the whole series for the candles, from the row's parameters.
using CandleReference = std::function<Series(const Candles& cs, const Params& params)>;

struct CandleRow {
  std::string kind;
  Params params;
  CandleReference ref;
  double tol = 0.0;  // 0: bit for bit
};

// first_free: the first value depends on the data, so warmup() is not checked.
inline void expect_candle_references(const std::vector<CandleRow>& rows, const std::vector<Candles>& tapes,
                                     bool first_free = false) {
  for (const CandleRow& row : rows) {
    for (const Candles& cs : tapes) {
      auto ind = build_ok(row.kind, row.params);
      const Series want = row.ref(cs, row.params);
      expect_series(feed_candles(*ind, cs), want, row.tol, row.kind);
      if (!first_free) {
        EXPECT_EQ(first_value_bar(want) + 1, static_cast<long>(ind->warmup())) << row.kind;
      }
    }
  }
}

// A random tape with its prices rounded to multiples of `step`.
inline Candles grid_tape(std::size_t n, unsigned seed, double step) {
  Candles cs = make_tape(n, seed).candles;
  for (Candle& c : cs) {
    for (double* p : {&c.open, &c.high, &c.low, &c.close}) *p = std::round(*p / step) * step;
  }
  return cs;
}

}  // namespace vsci::testing
