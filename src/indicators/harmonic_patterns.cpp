// Ratio windows are inclusive at both ends and nothing guards a zero leg: its
// ratio comes out infinite or NaN, which no finite window holds, so a flat
// swing simply fails the pattern.
#include "indicators/harmonic_patterns.h"

#include <cmath>

namespace vsci {

namespace {

struct Window {
  double lo, hi;
};

bool in_window(double x, Window w) { return w.lo <= x && x <= w.hi; }

// The four ratio windows of an X-A-B-C-D pattern: AB/XA, BC/AB, CD/BC, AD/XA.
struct HarmonicWindows {
  Window ab_xa, bc_ab, cd_bc, ad_xa;
};

double xabcd(std::span<const SwingPivot> p, const HarmonicWindows& w) {
  const double x = nth_newest(p, 5).price, a = nth_newest(p, 4).price, b = nth_newest(p, 3).price;
  const double c = nth_newest(p, 2).price, d = nth_newest(p, 1).price;
  const double xa = a - x, ab = b - a, bc = c - b, cd = d - c, ad = d - a;
  const bool holds = in_window(std::fabs(ab / xa), w.ab_xa) && in_window(std::fabs(bc / ab), w.bc_ab) &&
                     in_window(std::fabs(cd / bc), w.cd_bc) && in_window(std::fabs(ad / xa), w.ad_xa);
  return holds ? completion_signal(p) : 0.0;
}

// The length of the leg that ends at the k-th newest pivot.
double leg(std::span<const SwingPivot> p, std::size_t k) {
  return std::fabs(nth_newest(p, k).price - nth_newest(p, k + 1).price);
}

}  // namespace

double gartley(std::span<const SwingPivot> p) {
  return xabcd(p, {{0.55, 0.7}, {0.382, 0.886}, {1.13, 1.618}, {0.74, 0.84}});
}

double bat(std::span<const SwingPivot> p) {
  return xabcd(p, {{0.382, 0.5}, {0.382, 0.886}, {1.618, 2.618}, {0.84, 0.93}});
}

double butterfly(std::span<const SwingPivot> p) {
  return xabcd(p, {{0.74, 0.84}, {0.382, 0.886}, {1.618, 2.618}, {1.27, 1.618}});
}

double crab(std::span<const SwingPivot> p) {
  return xabcd(p, {{0.382, 0.618}, {0.382, 0.886}, {2.24, 3.618}, {1.55, 1.65}});
}

double shark(std::span<const SwingPivot> p) {
  return xabcd(p, {{1.13, 1.618}, {1.618, 2.24}, {0.382, 0.886}, {0.886, 1.13}});
}

// C lies beyond X, measured from X, and D retraces most of X-C.
double extended_leg_harmonic(std::span<const SwingPivot> p) {
  const double x = nth_newest(p, 5).price, a = nth_newest(p, 4).price, b = nth_newest(p, 3).price;
  const double c = nth_newest(p, 2).price, d = nth_newest(p, 1).price;
  const double xa = a - x, ab = b - a, xc = c - x, cd = d - c;
  const bool holds = in_window(std::fabs(ab / xa), {0.382, 0.618}) && in_window(std::fabs(xc / xa), {1.272, 1.414}) &&
                     in_window(std::fabs(cd / xc), {0.74, 0.83});
  return holds ? completion_signal(p) : 0.0;
}

double equal_legs_pattern(std::span<const SwingPivot> p) {
  const double ab = leg(p, 3), bc = leg(p, 2), cd = leg(p, 1);
  const bool holds = in_window(bc / ab, {0.382, 0.886}) && in_window(cd / bc, {1.13, 2.618}) && near(ab, cd, 0.1);
  return holds ? completion_signal(p) : 0.0;
}

// Legs L1..L6 over seven pivots: drives L2, L4, L6 each extend the correction
// before them, and drives and corrections each match one another.
double three_drives(std::span<const SwingPivot> p) {
  const double l1 = leg(p, 6), l2 = leg(p, 5), l3 = leg(p, 4), l4 = leg(p, 3), l5 = leg(p, 2), l6 = leg(p, 1);
  constexpr Window kDrive{1.13, 1.75};
  const bool holds = in_window(l2 / l1, kDrive) && in_window(l4 / l3, kDrive) && in_window(l6 / l5, kDrive) &&
                     near(l2, l4, 0.2) && near(l4, l6, 0.2) && near(l1, l3, 0.3) && near(l3, l5, 0.3);
  return holds ? completion_signal(p) : 0.0;
}

}  // namespace vsci
