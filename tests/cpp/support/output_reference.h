// Multi-output candle kinds against batch references: per bar either no value
// or every named output in order, the kind's value being the first; a row
// also names the outputs as the kind must publish them. With the plain array
// steps those references share, and the headers their tests use.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "support/batch_reference.h"
#include "support/candle_run.h"
#include "support/candle_series.h"
#include "support/compare.h"
#include "support/kind_checks.h"

namespace vsci::testing {

using Values = std::vector<double>;
using LineSeries = std::vector<std::optional<Values>>;

struct OutputReference {
  std::string kind, names;  // names space-separated, in order
  std::function<LineSeries(const Candles&, const Values&)> reference;
  std::vector<Values> params;
  double tolerance = 0.0;  // 0: bit for bit
};

inline void expect_output_references(const std::vector<OutputReference>& rows, const std::vector<Candles>& tapes) {
  for (std::size_t t = 0; t < tapes.size(); ++t)
    for (const OutputReference& row : rows)
      for (const Values& p : row.params) {
        SCOPED_TRACE(row.kind + " on tape " + std::to_string(t) + " with #0 = " + std::to_string(p[0]));
        const CandleRun run = run_candle_kind(row.kind, p, tapes[t]);
        const LineSeries want = row.reference(tapes[t], p);
        EXPECT_GE(first_value_bar(run.values), 0);
        for (std::size_t i = 0; i < want.size(); ++i) {
          ASSERT_EQ(run.values[i].has_value(), want[i].has_value()) << "bar " << i;
          std::string names;
          for (const NamedOutput& o : run.outputs[i]) names += (names.empty() ? "" : " ") + std::string(o.name);
          for (std::size_t k = 0; want[i] && k < want[i]->size(); ++k)
            ASSERT_TRUE(names == row.names && same_bits(run.values[i], run.outputs[i][0].value) &&
                        close_enough(run.outputs[i][k].value, (*want[i])[k], row.tolerance))
                << "bar " << i << " " << names << " #" << k << ": " << show(run.outputs[i][k].value) << ", want "
                << show((*want[i])[k]);
        }
      }
}

// Per bar, the values of all the series where the last one has a value.
inline LineSeries lines_of(const std::vector<Series>& cols) {
  LineSeries out(cols[0].size());
  for (std::size_t i = 0; i < out.size(); ++i)
    if (cols.back()[i]) out[i] = Values{};
  for (const Series& s : cols)
    for (std::size_t i = 0; i < out.size(); ++i)
      if (out[i]) out[i]->push_back(*s[i]);
  return out;
}

inline double bar_true_range(const Candle& k, const Candle& prev) {
  return std::max({k.high - k.low, std::fabs(k.high - prev.close), std::fabs(k.low - prev.close)});
}

inline Values field(const Candles& c, double Candle::*f) {
  Values v;
  for (const Candle& k : c) v.push_back(k.*f);
  return v;
}

// Wilder's ATR bar by bar: nothing, then the mean of the first n true ranges
// (the first bar's high - low), then (atr * (n - 1) + tr) / n with the two
// steps fused or rounded, and the division by a multiplication with 1 / n.
inline Series wilder_atr(const Candles& c, double n, bool fused) {
  Values t = per_move(c, bar_true_range);
  t.insert(t.begin(), c[0].high - c[0].low);
  return seeded(t, std::size_t(n),
                [=](double a, double x) { return (fused ? std::fma(a, n - 1, x) : a * (n - 1) + x) * (1 / n); });
}

// The largest and smallest of v over the n entries ending at i.
inline double max_of(const Values& v, std::size_t i, std::size_t n) {
  return *std::max_element(v.begin() + std::ptrdiff_t(i + 1 - n), v.begin() + std::ptrdiff_t(i + 1));
}
inline double min_of(const Values& v, std::size_t i, std::size_t n) {
  return *std::min_element(v.begin() + std::ptrdiff_t(i + 1 - n), v.begin() + std::ptrdiff_t(i + 1));
}

}  // namespace vsci::testing
