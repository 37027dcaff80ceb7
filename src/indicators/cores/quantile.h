// The quantile rule shared by the rolling order statistics: linear
// interpolation between the order statistics of an ascending list at the
// 0-based position p * (n - 1). Pure function; callable from any thread.
#pragma once

#include <cmath>
#include <cstddef>
#include <span>

namespace vsci {

// Quantile at fraction p in [0, 1] of the ascending, non-empty list s: p = 0
// gives the minimum, p = 1 the maximum. A position at or past the last element
// gives the last element, so a one-element list gives that element.
inline double sorted_quantile(std::span<const double> s, double p) {
  const std::size_t last = s.size() - 1;
  const double pos = p * static_cast<double>(last);
  const double lower = std::floor(pos);
  if (!(lower < static_cast<double>(last))) return s[last];
  if (!(lower >= 0.0)) return s[0];  // only for p outside [0, 1]; keeps the index conversion defined
  const std::size_t i = static_cast<std::size_t>(lower);
  return s[i] + (pos - lower) * (s[i + 1] - s[i]);
}

}  // namespace vsci
