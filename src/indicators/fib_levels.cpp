// Every level is written in the order of operations it is defined by (the
// difference first, then the ratio, then the anchor), so two builds agree to
// the bit. Bar spans are unsigned differences of increasing indices, taken
// before the conversion so they never lose a bar.
#include "indicators/fib_levels.h"

#include <cmath>

namespace vsci {

namespace {

double span_between(std::uint64_t from, std::uint64_t to) { return static_cast<double>(to - from); }

// Levels b + d * r for the retracement of the swing from a to b.
LevelValues<7> retracement(double a, double b) {
  const double d = a - b;
  return {b + d * 0.0, b + d * 0.236, b + d * 0.382, b + d * 0.5, b + d * 0.618, b + d * 0.786, b + d};
}

}  // namespace

LevelValues<3> GoldenPocketLevels::compute(std::span<const SwingPivot> p, std::uint64_t) {
  const double a = p[0].price, b = p[1].price;
  const double d = a - b;
  const double x = b + d * 0.618, y = b + d * 0.65;
  const double low = std::fmin(x, y), high = std::fmax(x, y);
  return {low, safe_midpoint(low, high), high};
}

LevelValues<7> FibRetracementLevels::compute(std::span<const SwingPivot> p, std::uint64_t) {
  return retracement(p[0].price, p[1].price);
}

LevelValues<7> AutoFibLevels::compute(std::span<const SwingPivot> p, std::uint64_t) {
  std::size_t best = 0;
  double widest = std::fabs(p[0].price - p[1].price);
  for (std::size_t k = 1; k + 1 < p.size(); ++k) {
    const double width = std::fabs(p[k].price - p[k + 1].price);
    // A tie goes to the newer swing.
    if (!(widest > width)) {
      best = k;
      widest = width;
    }
  }
  return retracement(p[best].price, p[best + 1].price);
}

LevelValues<5> FibExtensionLevels::compute(std::span<const SwingPivot> p, std::uint64_t) {
  const double a = p[0].price, b = p[1].price;
  const double d = b - a;
  return {a + d * 1.272, a + d * 1.414, a + d * 1.618, a + (d + d), a + d * 2.618};
}

LevelValues<4> FibProjectionLevels::compute(std::span<const SwingPivot> p, std::uint64_t) {
  const double c = p[2].price;
  const double d = p[1].price - p[0].price;
  return {c + d * 0.618, c + d, c + d * 1.618, c + d * 2.618};
}

// The line named for a retracement passes through A and through the point
// that far back from B at B's bar, hence the swapped ratios.
LevelValues<3> FibFanLevels::compute(std::span<const SwingPivot> p, std::uint64_t cur) {
  const SwingPivot& a = p[0];
  const SwingPivot& b = p[1];
  const double d = b.price - a.price;
  const double t = span_between(a.bar, cur) / span_between(a.bar, b.bar);
  return {a.price + (d * 0.618) * t, a.price + (d * 0.5) * t, a.price + (d * 0.382) * t};
}

LevelValues<3> FibArcsLevels::compute(std::span<const SwingPivot> p, std::uint64_t cur) {
  const SwingPivot& a = p[0];
  const SwingPivot& b = p[1];
  const double u = span_between(b.bar, cur) / span_between(a.bar, b.bar);
  const double r = 1.0 - u * u;
  // Past the swing's own length the arcs have closed onto B (a NaN closes too).
  const double k = std::sqrt(r > 0.0 ? r : 0.0);
  const double d = a.price - b.price;
  return {b.price + (d * 0.382) * k, b.price + (d * 0.5) * k, b.price + (d * 0.618) * k};
}

LevelValues<4> FibChannelLevels::compute(std::span<const SwingPivot> p, std::uint64_t cur) {
  const SwingPivot& a = p[0];
  const SwingPivot& b = p[1];
  const SwingPivot& c = p[2];
  const double slope = (c.price - a.price) / span_between(a.bar, c.bar);
  const double base = a.price + slope * span_between(a.bar, cur);
  const double offset = b.price - (a.price + slope * span_between(a.bar, b.bar));
  return {base, base + offset * 0.618, offset + base, base + offset * 1.618};
}

LevelValues<2> FibTimeZonesLevels::compute(std::span<const SwingPivot> p, std::uint64_t cur) {
  const std::uint64_t n = cur - p[p.size() - 1].bar;
  // Walk the zones 1, 2, 3, 5, ... to the first past n. Only the zone one step
  // beyond that may wrap, and it is never read: a bar counter stays far below
  // the 93rd Fibonacci number (~1.2e19), the last zone the counter can hold.
  std::uint64_t zone = 1, next = 2;
  bool on = false;
  while (zone <= n) {
    on = on || zone == n;
    const std::uint64_t after = zone + next;
    zone = next;
    next = after;
  }
  return {on ? 1.0 : 0.0, static_cast<double>(zone - n)};
}

LevelValues<2> FibConfluenceLevels::compute(std::span<const SwingPivot> p, std::uint64_t) {
  std::array<double, 3 * (SwingTracker::kCapacity - 1)> levels{};
  std::size_t count = 0;
  for (std::size_t k = 0; k + 1 < p.size(); ++k) {
    const double b = p[k + 1].price;
    const double d = p[k].price - b;
    levels[count++] = b + d * 0.382;
    levels[count++] = b + d * 0.5;
    levels[count++] = b + d * 0.618;
  }
  std::size_t best_members = 0;
  double best_sum = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t members = 0;
    double sum = -0.0;
    for (std::size_t j = 0; j < count; ++j) {
      if (near(levels[j], levels[i], 0.03)) {
        ++members;
        sum += levels[j];
      }
    }
    // A tie goes to the later candidate.
    if (i == 0 || !(best_members > members)) {
      best_members = members;
      best_sum = sum;
    }
  }
  const double strength = static_cast<double>(best_members);
  return {best_sum / strength, strength};
}

}  // namespace vsci
