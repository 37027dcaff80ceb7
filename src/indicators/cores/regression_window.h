// RegressionWindow: a least-squares line over the last n values, kept with
// running sums of the values' offsets from a reference (the shift), which is
// moved to the window mean and the sums re-summed exactly every n inputs.
// LinearRegression, the line's value at the newest point, is the core that the
// candle kind Inertia feeds with its own series; line_squared_residuals refits
// a window from scratch for the error kinds. Single-threaded use.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "indicators/cores/ring.h"
#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

// Σi for i = 0 .. n - 1.
inline double regression_sum_x(std::uint64_t n) {
  const double nf = static_cast<double>(n);
  return ((nf - 1.0) * nf) * 0.5;
}

// Σi² for i = 0 .. n - 1.
inline double regression_sum_x2(std::uint64_t n) {
  const double nf = static_cast<double>(n);
  return (((nf - 1.0) * nf) * ((nf + nf) - 1.0)) / 6.0;
}

// n·Σi² − (Σi)² for i = 0 .. n - 1: the denominator of the least-squares slope.
inline double regression_fit_denominator(std::uint64_t n) {
  const double sum_x = regression_sum_x(n);
  return regression_sum_x2(n) * static_cast<double>(n) - sum_x * sum_x;
}

// The fitted line; position 0 is the oldest value of the window.
struct RegressionFit {
  double slope = 0.0;
  double intercept = 0.0;  // the line at the oldest position
  // Every value of the window is the same; slope and intercept are then exact
  // (0 and that value) rather than whatever residue the running sums hold.
  bool flat = false;
};

// The fitted line's value at a position (0 = oldest, n - 1 = newest).
inline double line_value_at(const RegressionFit& fit, double position) {
  return position * fit.slope + fit.intercept;
}

// Σ of the squared residuals about the least-squares line through a full
// window (position 0 = oldest), fitted afresh rather than from running sums.
// Values are taken relative to the oldest one so that the sums stay small on
// high-priced series.
inline double line_squared_residuals(const Ring<double>& window) {
  const std::size_t n = window.size();
  const double nf = static_cast<double>(n);
  const double x_mean = (nf - 1.0) * 0.5;
  const double sxx = regression_fit_denominator(n) / nf;
  const double c = window.oldest();
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) sum += window[i] - c;
  const double mean = sum / nf;
  double sxy = 0.0;
  for (std::size_t i = 0; i < n; ++i) sxy += (static_cast<double>(i) - x_mean) * ((window[i] - c) - mean);
  const double slope = sxy / sxx;
  double sse = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double r = ((window[i] - c) - mean) - slope * (static_cast<double>(i) - x_mean);
    sse += r * r;
  }
  return sse;
}

class RegressionWindow {
 public:
  // Refuses n < 2 with the caller's own detail, then a length above MAX_PERIOD.
  static Expected<RegressionWindow, IndicatorError> create(std::uint64_t n, std::string_view too_short) {
    if (n < 2) return unexpected(IndicatorError::invalid_period(too_short));
    if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
    return RegressionWindow(n);
  }

  // Takes a finite y (others are refused, state unchanged); the fit once n
  // values are held.
  std::optional<RegressionFit> update(double y) {
    if (!std::isfinite(y)) return std::nullopt;
    const bool repeats = !ring_.empty() && y == ring_.newest();
    if (ring_.full()) {
      // Every remaining value moves down one position.
      const double d0 = ring_.oldest() - shift_;
      sum_id_ = d0 + (sum_id_ - sum_d_);
      sum_d_ = sum_d_ - d0;
      sum_d2_ = sum_d2_ - d0 * d0;
    }
    const double i = static_cast<double>(ring_.full() ? n_ - 1 : ring_.size());
    ring_.push(y);
    equal_run_ = repeats ? std::min(equal_run_ + 1, n_) : 1;
    if (!has_shift_) {
      shift_ = y;
      has_shift_ = true;
    }
    const double d = y - shift_;
    sum_d_ = sum_d_ + d;
    sum_id_ = sum_id_ + i * d;
    sum_d2_ = sum_d2_ + d * d;
    if (++since_recompute_ >= n_) recompute();
    if (!ring_.full()) return std::nullopt;

    if (equal_run_ >= n_) return RegressionFit{0.0, y, true};
    const double nf = static_cast<double>(n_);
    const double slope = (sum_id_ * nf - sum_x_ * sum_d_) / fit_denominator_;
    const double intercept = shift_ + (sum_d_ - sum_x_ * slope) / nf;
    return RegressionFit{slope, intercept, false};
  }

  std::uint64_t period() const { return n_; }
  double fit_denominator() const { return fit_denominator_; }
  // Σ(y − shift) and Σ(y − shift)² over the window.
  double sum_d() const { return sum_d_; }
  double sum_d2() const { return sum_d2_; }

 private:
  explicit RegressionWindow(std::uint64_t n)
      : ring_(static_cast<std::size_t>(n)),
        n_(n),
        sum_x_(regression_sum_x(n)),
        fit_denominator_(regression_fit_denominator(n)) {}

  void recompute() {
    const std::size_t count = ring_.size();
    double total = 0.0;
    for (std::size_t k = 0; k < count; ++k) total += ring_[k];
    const double m = total / static_cast<double>(count);
    shift_ = m;
    double sd = 0.0;
    double sid = 0.0;
    double sd2 = 0.0;
    for (std::size_t k = 0; k < count; ++k) {
      const double d = ring_[k] - m;
      sd += d;
      sid += d * static_cast<double>(k);
      sd2 += d * d;
    }
    sum_d_ = sd;
    sum_id_ = sid;
    sum_d2_ = sd2;
    since_recompute_ = 0;
  }

  Ring<double> ring_;
  std::uint64_t n_ = 2;
  double sum_x_ = 0.0;
  double fit_denominator_ = 0.0;
  double shift_ = 0.0;
  bool has_shift_ = false;
  double sum_d_ = 0.0;
  double sum_id_ = 0.0;
  double sum_d2_ = 0.0;
  std::uint64_t since_recompute_ = 0;
  std::uint64_t equal_run_ = 0;  // trailing inputs equal to each other, at most n
};

// The least-squares line's value at the newest of the last n inputs.
class LinearRegression {
 public:
  static Expected<LinearRegression, IndicatorError> create(std::uint64_t n) {
    auto window = RegressionWindow::create(n, "linear regression needs period >= 2");
    if (!window.ok()) return unexpected(window.error());
    return LinearRegression(std::move(window).value());
  }

  std::optional<double> update_value(double x) {
    const auto fit = window_.update(x);
    if (!fit) return std::nullopt;
    return line_value_at(*fit, static_cast<double>(window_.period()) - 1.0);
  }

  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit LinearRegression(RegressionWindow window) : window_(std::move(window)) {}

  RegressionWindow window_;
};

}  // namespace vsci
