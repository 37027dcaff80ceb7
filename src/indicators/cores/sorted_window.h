// SortedWindow: the last `period` values in arrival order plus the same values
// in ascending total order (-0.0 before +0.0), for rolling order statistics;
// and sorted_abs_deviations, the ascending |v - c| of a sorted list by an
// outward merge. Single-threaded use.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "indicators/cores/growing_storage.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/window_checks.h"
#include "market/price_checks.h"
#include "util/expected.h"

namespace vsci {

// The total order of doubles: -0.0 sorts before +0.0 (callers pass finite values).
inline bool total_less(double a, double b) {
  if (a < b) return true;
  if (a > b) return false;
  return std::signbit(a) && !std::signbit(b);
}

// Median of an ascending list; NaN for an empty list (owners ask only once full).
inline double sorted_median(const std::vector<double>& v) {
  const std::size_t n = v.size();
  if (n == 0) return std::numeric_limits<double>::quiet_NaN();
  if (n % 2 == 1) return v[n / 2];
  return safe_midpoint(v[n / 2 - 1], v[n / 2]);
}

class SortedWindow {
 public:
  static Expected<SortedWindow, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return SortedWindow(static_cast<std::size_t>(period));
  }

  // Accepts a finite value, evicting the oldest one first when full. A NaN or
  // infinite x is refused (false) and changes nothing.
  bool push(double x) {
    if (!std::isfinite(x)) return false;
    if (ring_.full()) {
      const double old = ring_.oldest();
      auto it = std::lower_bound(sorted_.begin(), sorted_.end(), old, total_less);
      sorted_.erase(it);
    }
    ring_.push(x);
    make_room(sorted_, ring_.capacity());
    sorted_.insert(std::lower_bound(sorted_.begin(), sorted_.end(), x, total_less), x);
    return true;
  }

  bool full() const { return ring_.full(); }
  std::size_t size() const { return ring_.size(); }
  std::size_t period() const { return ring_.capacity(); }
  const std::vector<double>& sorted() const { return sorted_; }
  const Ring<double>& arrivals() const { return ring_; }
  double median() const { return sorted_median(sorted_); }

 private:
  explicit SortedWindow(std::size_t period) : ring_(period) { reserve_initial(sorted_, period); }

  Ring<double> ring_;
  std::vector<double> sorted_;
};

// Fills out (storage reused) with |v[i] - c| in ascending order, v ascending.
inline void sorted_abs_deviations(const std::vector<double>& v, double c, std::vector<double>& out) {
  out.clear();
  const std::size_t s =
      static_cast<std::size_t>(std::lower_bound(v.begin(), v.end(), c, total_less) - v.begin());
  // Elements strictly less than c: lower_bound by total order matches "less than"
  // except for a -0.0/+0.0 pair, which gives equal deviations either way.
  std::size_t left = s;  // one past the next left element
  std::size_t right = s;
  while (left > 0 && right < v.size()) {
    const double dl = std::fabs(v[left - 1] - c);
    const double dr = std::fabs(v[right] - c);
    if (!total_less(dr, dl)) {
      out.push_back(dl);
      --left;
    } else {
      out.push_back(dr);
      ++right;
    }
  }
  while (left > 0) out.push_back(std::fabs(v[--left] - c));
  while (right < v.size()) out.push_back(std::fabs(v[right++] - c));
}

}  // namespace vsci
