// Kinds over two series in tests: bars of a close and a reference (NaN for a
// bar without one), a kind run over them by name, plain two-pass statistics
// and least squares for references, and the tables the pair families share.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "support/bar_tape.h"
#include "support/compare.h"
#include "support/kind_checks.h"

namespace vsci::testing {

using V = std::vector<double>;

struct PairBars {
  V close, ref;
};

inline PairBars tape_pairs(std::size_t n, unsigned seed, double drift = 0.0) {
  const BarTape t = make_tape(n, seed, 100.0, drift);
  PairBars b{{}, t.reference};
  for (const Candle& c : t.candles) b.close.push_back(c.close);
  return b;
}

// Per bar: the value, then the named outputs (empty where the kind has none).
struct PairRun {
  Series values;
  std::vector<V> outputs;
};

inline PairRun run_pairs(const std::string& kind, const V& params, const PairBars& bars) {
  auto ind = build_ok(kind, params);
  PairRun run;
  for (std::size_t i = 0; i < bars.close.size(); ++i) {
    const double c = bars.close[i];
    const Candle candle{static_cast<std::int64_t>(i), c, c, c, c, 1.0};
    BarContext ctx(candle);
    if (!std::isnan(bars.ref[i])) ctx.reference = bars.ref[i];
    run.values.push_back(ind->update(ctx));
    run.outputs.emplace_back();
    for (const NamedOutput& o : ind->outputs()) run.outputs.back().push_back(o.value);
  }
  return run;
}

namespace ref {

struct Moments {
  double mean_x, mean_y, cov, var_x, var_y;
};

inline Moments moments(const V& x, const V& y) {
  const double n = static_cast<double>(x.size());
  Moments m{std::accumulate(x.begin(), x.end(), 0.0) / n, std::accumulate(y.begin(), y.end(), 0.0) / n, 0.0, 0.0, 0.0};
  for (std::size_t i = 0; i < x.size(); ++i) {
    m.cov += (x[i] - m.mean_x) * (y[i] - m.mean_y) / n;
    m.var_x += (x[i] - m.mean_x) * (x[i] - m.mean_x) / n;
    m.var_y += (y[i] - m.mean_y) * (y[i] - m.mean_y) / n;
  }
  return m;
}

inline double correlation(const V& x, const V& y) {
  const Moments m = moments(x, y);
  return m.var_x * m.var_y == 0.0 ? 0.0 : std::fmax(-1.0, std::fmin(1.0, m.cov / std::sqrt(m.var_x * m.var_y)));
}

inline double dot(const V& a, const V& b) { return std::inner_product(a.begin(), a.end(), b.begin(), 0.0); }

// Least squares of y on the rows by the normal equations, eliminated with
// partial pivoting: the coefficients, or nothing when a pivot is below 1e-12.
inline std::optional<V> least_squares(const std::vector<V>& rows, const V& y) {
  const std::size_t k = rows[0].size();
  std::vector<V> a(k, V(k + 1, 0.0));
  for (std::size_t t = 0; t < rows.size(); ++t)
    for (std::size_t i = 0; i < k; ++i)
      for (std::size_t j = 0; j <= k; ++j) a[i][j] += rows[t][i] * (j < k ? rows[t][j] : y[t]);
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t r = i + 1; r < k; ++r)
      if (std::fabs(a[r][i]) > std::fabs(a[i][i])) std::swap(a[r], a[i]);
    if (std::fabs(a[i][i]) < 1e-12) return std::nullopt;
    for (std::size_t r = i + 1; r < k; ++r)
      for (std::size_t j = k + 1; j-- > i;) a[r][j] -= a[r][i] / a[i][i] * a[i][j];
  }
  V b(k);
  for (std::size_t i = k; i-- > 0;) {
    b[i] = a[i][k];
    for (std::size_t j = i + 1; j < k; ++j) b[i] -= a[i][j] * b[j];
    b[i] /= a[i][i];
  }
  return b;
}

// Residual sum of squares of that fit.
inline std::optional<double> rss(const std::vector<V>& rows, const V& y) {
  const auto b = least_squares(rows, y);
  if (!b) return std::nullopt;
  double s = 0.0;
  for (std::size_t t = 0; t < rows.size(); ++t) s += std::pow(y[t] - dot(rows[t], *b), 2.0);
  return s;
}

}  // namespace ref

// A kind against a reference of its last `span` closes and references, which
// gives the main value and then the outputs; no value before bar `span`.
struct PairRefRow {
  std::string kind;
  V params;
  std::size_t span;
  std::function<V(const V& c, const V& r)> ref;
  double tol = 1e-9;
};

inline void expect_pair_refs(const std::vector<PairRefRow>& rows, const std::vector<PairBars>& sets) {
  for (const PairRefRow& row : rows) {
    SCOPED_TRACE(row.kind);
    EXPECT_EQ(build_ok(row.kind, row.params)->warmup(), row.span);
    for (const PairBars& bars : sets) {
      const PairRun run = run_pairs(row.kind, row.params, bars);
      for (std::size_t i = 0; i < bars.close.size(); ++i) {
        ASSERT_EQ(run.values[i].has_value(), i + 1 >= row.span) << "bar " << i;
        if (!run.values[i]) continue;
        const auto c = bars.close.begin() + static_cast<long>(i + 1), r = bars.ref.begin() + static_cast<long>(i + 1);
        const auto span = static_cast<long>(row.span);
        const V want = row.ref({c - span, c}, {r - span, r});
        V got{*run.values[i]};
        got.insert(got.end(), run.outputs[i].begin(), run.outputs[i].end());
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t k = 0; k < got.size(); ++k)
          ASSERT_TRUE(close_enough(got[k], want[k], row.tol)) << "bar " << i << " #" << k << ": " << got[k];
      }
    }
  }
}

// The last bar of one kind over hand-made bars gives `want`: its main value,
// then its named outputs.
inline void expect_last(const std::string& kind, const V& params, const PairBars& bars, const V& want,
                        double tol = 0.0) {
  const PairRun run = run_pairs(kind, params, bars);
  ASSERT_GE(run.outputs.back().size() + 1, want.size()) << kind;
  V got{run.values.back().value_or(kNaN)};
  got.insert(got.end(), run.outputs.back().begin(), run.outputs.back().begin() + static_cast<long>(want.size() - 1));
  for (std::size_t k = 0; k < want.size(); ++k) {
    EXPECT_TRUE(close_enough(got[k], want[k], tol)) << kind << " #" << k << ": " << got[k];
  }
}

// A count with its own minimum, then the MAX_PERIOD bound (`at` is its
// position in params, which hold the minimum): one below gets the kind's
// text, the minimum builds, one above MAX_PERIOD gets the bound's text.
struct MinCheck {
  std::string kind;
  V params;
  std::size_t at;
  std::string text;
};

inline std::vector<BuildCase> min_then_max_cases(const std::vector<MinCheck>& checks) {
  std::vector<BuildCase> cases;
  for (const MinCheck& m : checks) {
    V below = m.params, above = m.params;
    below[m.at] = m.params[m.at] > 1.0 ? m.params[m.at] - 1.0 : kZeroCount;
    above[m.at] = static_cast<double>(MAX_PERIOD) + 1.0;
    cases.insert(cases.end(), {{m.kind, below, "invalid period: " + m.text}, {m.kind, above, kMaxPeriodText}});
    cases.push_back({m.kind, m.params, ""});
  }
  return cases;
}

}  // namespace vsci::testing
