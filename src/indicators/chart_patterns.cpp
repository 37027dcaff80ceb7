// Chart patterns compare swing prices within 3 % of the larger one, so the
// same shape is found at any price scale. Every comparison is an ordinary one:
// a NaN makes it false and the signal 0.
#include "indicators/chart_patterns.h"

#include <cmath>

namespace vsci {

namespace {

constexpr double kTolerance = 0.03;

// The newest four pivots as the two highs and two lows of a converging range.
struct Range {
  double h1, h2, l1, l2;
};

Range range_of(std::span<const SwingPivot> p) {
  const double n1 = nth_newest(p, 1).price, n2 = nth_newest(p, 2).price;
  const double n3 = nth_newest(p, 3).price, n4 = nth_newest(p, 4).price;
  if (nth_newest(p, 1).kind > 0.0) return {n3, n1, n4, n2};
  return {n4, n2, n3, n1};
}

}  // namespace

double double_top_bottom(std::span<const SwingPivot> p) {
  return near(nth_newest(p, 3).price, nth_newest(p, 1).price, kTolerance) ? completion_signal(p) : 0.0;
}

double triple_top_bottom(std::span<const SwingPivot> p) {
  const double a = nth_newest(p, 5).price, b = nth_newest(p, 3).price, c = nth_newest(p, 1).price;
  return near(a, b, kTolerance) && near(b, c, kTolerance) ? completion_signal(p) : 0.0;
}

double head_and_shoulders(std::span<const SwingPivot> p) {
  const double ls = nth_newest(p, 5).price, n1 = nth_newest(p, 4).price, head = nth_newest(p, 3).price;
  const double n2 = nth_newest(p, 2).price, rs = nth_newest(p, 1).price;
  const bool shape = near(ls, rs, kTolerance) && near(n1, n2, kTolerance);
  if (nth_newest(p, 1).kind > 0.0) return head > ls && head > rs && shape ? -1.0 : 0.0;
  return head < ls && head < rs && shape ? 1.0 : 0.0;
}

double triangle(std::span<const SwingPivot> p) {
  const Range r = range_of(p);
  const bool highs_flat = near(r.h1, r.h2, kTolerance);
  const bool lows_flat = near(r.l1, r.l2, kTolerance);
  const bool lows_rise = r.l2 > r.l1 * 1.03;
  const bool highs_fall = r.h2 < r.h1 * 0.97;
  if (highs_flat) {
    if (lows_rise) return 1.0;
    // Flat highs that also fall cannot happen for positive prices; kept for
    // the signs where it can.
    return highs_fall && lows_flat ? -1.0 : 0.0;
  }
  if (highs_fall) {
    if (lows_flat) return -1.0;
    return lows_rise ? completion_signal(p) : 0.0;
  }
  return 0.0;
}

double wedge(std::span<const SwingPivot> p) {
  const Range r = range_of(p);
  const double dh = r.h2 - r.h1, dl = r.l2 - r.l1;
  if (dl > dh && dl > 0.0 && dh > 0.0) return -1.0;
  if (dh < 0.0 && dl < 0.0 && dl > dh) return 1.0;
  return 0.0;
}

double rectangle_range(std::span<const SwingPivot> p) {
  const Range r = range_of(p);
  return near(r.h1, r.h2, kTolerance) && near(r.l1, r.l2, kTolerance) ? completion_signal(p) : 0.0;
}

double flag_pennant(std::span<const SwingPivot> p) {
  const double a = nth_newest(p, 3).price, b = nth_newest(p, 2).price, c = nth_newest(p, 1).price;
  const double pole = b - a;
  if (pole == 0.0 || std::isnan(pole)) return 0.0;
  if (!(std::fabs(c - b) < 0.5 * std::fabs(b - a))) return 0.0;
  return nth_newest(p, 2).kind > 0.0 ? 1.0 : -1.0;
}

double twin_rim_pullback(std::span<const SwingPivot> p) {
  const double r1 = nth_newest(p, 4).price, m = nth_newest(p, 3).price;
  const double r2 = nth_newest(p, 2).price, c = nth_newest(p, 1).price;
  const bool rims = near(r1, r2, kTolerance);
  if (nth_newest(p, 1).kind < 0.0) return m < c && c < r2 && rims ? 1.0 : 0.0;
  return r2 < c && c < m && rims ? -1.0 : 0.0;
}

}  // namespace vsci
