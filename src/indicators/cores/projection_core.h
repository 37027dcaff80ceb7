// ProjectionCore: the projection bands of the last n highs and lows. Each
// ring's least-squares slope carries every stored value forward to the
// current bar; upper is the highest projected high, lower the lowest projected
// low, middle their midpoint. Shared by ProjectionBandPercent and the
// multi-output ProjectionBands kind; rolling_window_slope is the fit both
// rings use, and its offsets serve the regression channels. Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/regression_window.h"
#include "indicators/cores/ring.h"
#include "indicators/indicator_error.h"
#include "market/price_checks.h"
#include "util/expected.h"
#include "util/math_constants.h"

namespace vsci {

// The constants of a least-squares fit against x = 0 .. n - 1, fixed for a
// window length n >= 2 (so the denominator is positive).
struct WindowSlopeConstants {
  double n = 2.0;
  double sum_x = 0.0;        // Σx = (n - 1)·n·0.5
  double sum_x2 = 0.0;       // Σx² = (n - 1)·n·(2n - 1)/6
  double denominator = 1.0;  // n·Σx² − (Σx)²

  static WindowSlopeConstants of(std::uint64_t n) {
    return {static_cast<double>(n), regression_sum_x(n), regression_sum_x2(n), regression_fit_denominator(n)};
  }
};

// The sums a least-squares fit of a full ring against x = 0 (oldest) .. n - 1
// (newest) is made of: the mean, summed afresh, and the values' offsets d from
// it, Σd and Σx·d.
struct WindowOffsets {
  double mean = 0.0;
  double sum_d = 0.0;
  double sum_xd = 0.0;
};

inline WindowOffsets window_offsets(const Ring<double>& ring, const WindowSlopeConstants& k) {
  const double mean = sum_oldest_first(ring) / k.n;
  const auto [first, second] = ring.runs();
  double s1 = 0.0;
  double s2 = 0.0;
  double x = 0.0;
  for (const auto run : {first, second}) {
    for (double v : run) {
      const double d = v - mean;
      s1 += d;
      s2 += x * d;
      x += 1.0;
    }
  }
  return {mean, s1, s2};
}

inline double window_slope(const WindowOffsets& o, const WindowSlopeConstants& k) {
  return (k.n * o.sum_xd - o.sum_d * k.sum_x) / k.denominator;
}

// The least-squares slope of a full ring.
inline double rolling_window_slope(const Ring<double>& ring, const WindowSlopeConstants& k) {
  return window_slope(window_offsets(ring, k), k);
}

struct ProjectionLines {
  double upper = 0.0;
  double middle = 0.0;
  double lower = 0.0;
};

class ProjectionCore {
 public:
  // n < 2 is refused with its own text, then the MAX_PERIOD bound.
  static Expected<ProjectionCore, IndicatorError> create(std::uint64_t period) {
    if (period < 2) return unexpected(IndicatorError::invalid_period("projection bands need period >= 2"));
    if (period > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
    return ProjectionCore(period);
  }

  // The three lines once n highs and lows are held.
  std::optional<ProjectionLines> update_value(double high, double low) {
    highs_.push(high);
    lows_.push(low);
    if (!highs_.full()) return std::nullopt;
    const double slope_high = rolling_window_slope(highs_, constants_);
    const double slope_low = rolling_window_slope(lows_, constants_);
    double upper = -kInf;
    double lower = kInf;
    const std::size_t n = highs_.size();
    for (std::size_t i = 0; i < n; ++i) {
      const double ahead = static_cast<double>(n - 1 - i);  // bars from i to the newest
      const double ph = highs_[i] + slope_high * ahead;
      const double pl = lows_[i] + slope_low * ahead;
      if (ph > upper) upper = ph;
      if (pl < lower) lower = pl;
    }
    return ProjectionLines{upper, safe_midpoint(upper, lower), lower};
  }

  std::uint64_t warmup() const { return highs_.capacity(); }

 private:
  explicit ProjectionCore(std::uint64_t period)
      : highs_(static_cast<std::size_t>(period)),
        lows_(static_cast<std::size_t>(period)),
        constants_(WindowSlopeConstants::of(period)) {}

  Ring<double> highs_;
  Ring<double> lows_;
  WindowSlopeConstants constants_;
};

}  // namespace vsci
