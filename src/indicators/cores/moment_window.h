// Running window moments over deviations from a shift point re-centred on the
// window mean every `period` pushes: ShiftedMoments (one series) and
// PairedMoments (two). A flat series gives exactly 0 variance and its own
// value as mean, whatever residue the sums hold. Single-threaded use.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "indicators/cores/equal_run.h"
#include "indicators/cores/ring.h"

namespace vsci {

// Running sums of the powers of (value - shift) over a window of `period`
// values. The shift is re-centred on the window mean every `period` accepted
// values, which bounds the drift of the running sums. Order 2 keeps the first
// two powers, order 4 all four.
template <int Order>
class ShiftedMoments {
  static_assert(Order == 2 || Order == 4);

 public:
  explicit ShiftedMoments(std::size_t period) : window_(period), run_(period) {}

  // Takes a finite x; true once the window holds `period` values.
  bool push(double x) {
    if (window_.full()) {
      const double d = window_.oldest() - shift_;
      sum_d_ -= d;
      sum_d2_ -= d * d;
      if constexpr (Order == 4) {
        const double d2 = d * d;
        sum_d3_ -= d * d2;
        sum_d4_ -= d2 * d2;
      }
    }
    window_.push(x);
    run_.push(x);
    if (!shift_set_) {
      shift_ = x;
      shift_set_ = true;
    }
    const double d = x - shift_;
    sum_d_ = sum_d_ + d;
    sum_d2_ = d * d + sum_d2_;
    if constexpr (Order == 4) {
      const double d2 = d * d;
      sum_d3_ += d * d2;
      sum_d4_ += d2 * d2;
    }
    if (++since_recompute_ >= window_.capacity()) recentre();
    return window_.full();
  }

  double n() const { return static_cast<double>(window_.capacity()); }
  double shift() const { return shift_; }
  double sum_d2() const { return sum_d2_; }
  double sum_d3() const { return sum_d3_; }
  double sum_d4() const { return sum_d4_; }
  // sum_d / n: the window mean is shift() + m1().
  double m1() const { return sum_d_ / n(); }
  // The mean of a full window; exactly its value when the window is flat.
  double mean() const { return flat() ? window_.newest() : shift_ + m1(); }
  // A full window of equal values.
  bool flat() const { return run_.whole(); }
  // Population variance of a full window: exactly 0 for a flat window;
  // negative or -0.0 residue, and the NaN that inf - inf gives on huge
  // inputs, become +0.0.
  double variance() const {
    if (flat()) return 0.0;
    const double m1 = sum_d_ / n();
    const double var = sum_d2_ / n() - m1 * m1;
    return var > 0.0 ? var : 0.0;
  }
  std::size_t period() const { return window_.capacity(); }

 private:
  void recentre() {
    since_recompute_ = 0;
    const std::size_t count = window_.size();
    double s = 0.0;
    for (std::size_t i = 0; i < count; ++i) s += window_[i];
    const double mean = s / static_cast<double>(count);
    double s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
      const double d = window_[i] - mean;
      const double d2 = d * d;
      s1 += d;
      s2 += d2;
      if constexpr (Order == 4) {
        s3 += d * d2;
        s4 += d2 * d2;
      }
    }
    shift_ = mean;
    sum_d_ = s1;
    sum_d2_ = s2;
    sum_d3_ = s3;
    sum_d4_ = s4;
  }

  Ring<double> window_;
  EqualRun run_;
  double shift_ = 0.0;
  bool shift_set_ = false;
  double sum_d_ = 0.0;
  double sum_d2_ = 0.0;
  double sum_d3_ = 0.0;
  double sum_d4_ = 0.0;
  std::size_t since_recompute_ = 0;
};

// The population moments of a full PairedMoments window.
struct PairMoments {
  double mean_x = 0.0;
  double mean_y = 0.0;
  double cov = 0.0;
  double var_x = 0.0;
  double var_y = 0.0;
};

struct XY {
  double x = 0.0;
  double y = 0.0;
};

// A ring of the last `period` pairs with the five shifted sums
// Sx, Sy, Sxx, Syy and Sxy.
class PairedMoments {
 public:
  explicit PairedMoments(std::size_t period) : window_(period), run_x_(period), run_y_(period) {}

  // Takes a finite pair; true once the window holds `period` pairs.
  bool push(double x, double y) {
    if (window_.full()) {
      const XY& old = window_.oldest();
      const double dx = old.x - kx_;
      const double dy = old.y - ky_;
      sx_ -= dx;
      sy_ -= dy;
      sxx_ -= dx * dx;
      syy_ -= dy * dy;
      sxy_ -= dx * dy;
    }
    window_.push({x, y});
    run_x_.push(x);
    run_y_.push(y);
    if (!shift_set_) {
      kx_ = x;
      ky_ = y;
      shift_set_ = true;
    }
    const double dx = x - kx_;
    const double dy = y - ky_;
    sx_ += dx;
    sy_ += dy;
    sxx_ += dx * dx;
    syy_ += dy * dy;
    sxy_ += dx * dy;
    if (++since_recentre_ >= window_.capacity()) recentre();
    return window_.full();
  }

  // Needs a full window. Negative or NaN variance residue becomes +0.0.
  PairMoments moments() const {
    const std::size_t period = window_.capacity();
    const double n = static_cast<double>(period);
    const double mx = sx_ / n;
    const double my = sy_ / n;
    const bool flat_x = run_x_.whole();
    const bool flat_y = run_y_.whole();
    PairMoments m;
    m.mean_x = flat_x ? window_.newest().x : kx_ + mx;
    m.mean_y = flat_y ? window_.newest().y : ky_ + my;
    m.cov = flat_x || flat_y ? 0.0 : sxy_ / n - mx * my;
    const double vx = sxx_ / n - mx * mx;
    const double vy = syy_ / n - my * my;
    m.var_x = !flat_x && vx > 0.0 ? vx : 0.0;
    m.var_y = !flat_y && vy > 0.0 ? vy : 0.0;
    return m;
  }

  std::size_t period() const { return window_.capacity(); }
  const Ring<XY>& pairs() const { return window_; }

 private:
  void recentre() {
    since_recentre_ = 0;
    const std::size_t count = window_.size();
    double tx = 0.0;
    double ty = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
      tx += window_[i].x;
      ty += window_[i].y;
    }
    kx_ = tx / static_cast<double>(count);
    ky_ = ty / static_cast<double>(count);
    double sx = 0.0, sy = 0.0, sxx = 0.0, syy = 0.0, sxy = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
      const double dx = window_[i].x - kx_;
      const double dy = window_[i].y - ky_;
      sx += dx;
      sy += dy;
      sxx += dx * dx;
      syy += dy * dy;
      sxy += dx * dy;
    }
    sx_ = sx;
    sy_ = sy;
    sxx_ = sxx;
    syy_ = syy;
    sxy_ = sxy;
  }

  Ring<XY> window_;
  EqualRun run_x_;
  EqualRun run_y_;
  double kx_ = 0.0;
  double ky_ = 0.0;
  bool shift_set_ = false;
  double sx_ = 0.0;
  double sy_ = 0.0;
  double sxx_ = 0.0;
  double syy_ = 0.0;
  double sxy_ = 0.0;
  std::size_t since_recentre_ = 0;
};

// The correlation of population moments: 0 when the product of the variances
// is 0, otherwise kept within -1 .. 1 against rounding.
inline double bounded_correlation(double cov, double var_x, double var_y) {
  const double p = var_x * var_y;
  if (p == 0.0) return 0.0;
  return std::clamp(cov / std::sqrt(p), -1.0, 1.0);
}

// The mean of value(0) .. value(n - 1) (n > 0), summed in that order from
// +0.0; when all n are equal it is that value, so every deviation from it is
// exactly 0.
template <class F>
double plain_mean(std::size_t n, F value) {
  const double first = value(std::size_t{0});
  double sum = 0.0;
  bool flat = true;
  for (std::size_t i = 0; i < n; ++i) {
    const double v = value(i);
    sum += v;
    flat = flat && v == first;
  }
  return flat ? first : sum / static_cast<double>(n);
}

}  // namespace vsci
