// Batch reference computations of the averaging cores, written straight from
// their formulas over a plain array (index arithmetic, no rings), for tests to
// compare streaming results against bit for bit. Inputs are all finite.
#pragma once

#include <cmath>
#include <cstddef>
#include <optional>
#include <vector>

namespace vsci::testing::ref {

using Values = std::vector<std::optional<double>>;

// Running sum x + (sum - old) from +0.0, re-summed exactly from -0.0 over the
// window on every 16p-th input when `resum` is set.
inline Values sma(const std::vector<double>& xs, std::size_t p, bool resum = true) {
  Values out(xs.size());
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
// step alpha * x + round((1 - alpha) * value).
inline Values ema(const std::vector<double>& xs, std::size_t p) {
  Values out(xs.size());
  const double alpha = 2.0 / (static_cast<double>(p) + 1.0);
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
      value = std::fma(alpha, xs[i], kept);
    }
    out[i] = value;
  }
  return out;
}

// Weights 1 (oldest) .. p (newest) over the divisor (p + 1) * p * 0.5; running
// weighted and plain sums, both re-summed from -0.0 on the 17p-th, 33p-th ...
// input when `resum` is set.
inline Values wma(const std::vector<double>& xs, std::size_t p, bool resum = true) {
  Values out(xs.size());
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

}  // namespace vsci::testing::ref
