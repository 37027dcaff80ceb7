// SortedWindow: the last `period` values in arrival order plus the same values
// in ascending total order (-0.0 before +0.0), for rolling order statistics;
// RankWindow: how many values of a window lie below and at its newest one;
// the searches and the one-move replacement by which both keep their lists
// ascending; and sorted_abs_deviations, the ascending |v - c| of a sorted
// list by an outward merge. Single-threaded use.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
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

// An integer whose signed order is the total order of non-NaN doubles, so a
// comparison of two of them is one instruction without a branch.
inline std::int64_t total_order_key(double d) {
  const auto bits = std::bit_cast<std::int64_t>(d);
  return bits ^ static_cast<std::int64_t>(static_cast<std::uint64_t>(bits >> 63) >> 1);
}

// The length of the prefix of v on which pred holds (pred holds on a prefix
// and nowhere after it). Each step halves the range with a conditional move
// rather than a branch, which an order of values in no pattern would mispredict.
template <class Pred>
std::size_t sorted_prefix_length(std::span<const double> v, Pred pred) {
  std::size_t n = v.size();
  if (n == 0) return 0;
  const double* base = v.data();
  while (n > 1) {
    const std::size_t half = n / 2;
    base = pred(base[half]) ? base + half : base;
    n -= half;
  }
  return static_cast<std::size_t>(base - v.data()) + (pred(*base) ? 1 : 0);
}

// The position of the first element of the ascending list v not below x in
// total order (x not NaN): where x goes before any equal values.
inline std::size_t total_lower_bound(std::span<const double> v, double x) {
  const std::int64_t key = total_order_key(x);
  return sorted_prefix_length(v, [key](double e) { return total_order_key(e) < key; });
}

// Inserts x into the ascending list v (room for it made by the caller) and
// gives its position.
inline std::size_t insert_sorted(std::vector<double>& v, double x) {
  const std::size_t at = total_lower_bound(v, x);
  v.insert(v.begin() + static_cast<std::ptrdiff_t>(at), x);
  return at;
}

// One past the run of elements after position `at` of the ascending list v
// for which pred holds (pred holds on a prefix of the rest): the copies of an
// element just placed at `at`, found without a search when there are none.
template <class Pred>
std::size_t run_end_after(std::span<const double> v, std::size_t at, Pred pred) {
  std::size_t end = at + 1;
  if (end < v.size() && pred(v[end])) end += sorted_prefix_length(v.subspan(end), pred);
  return end;
}

// Puts x in place of the element at position `from` of the ascending list v,
// where `to` is x's place in v as it stands (the first element not below x):
// the elements between the two places move by one, once, instead of closing
// the gap and then opening another. Gives x's new position.
inline std::size_t move_into_place(std::span<double> v, std::size_t from, std::size_t to, double x) {
  double* s = v.data();
  if (to <= from) {
    std::copy_backward(s + to, s + from, s + from + 1);
    s[to] = x;
    return to;
  }
  std::copy(s + from + 1, s + to, s + from);
  s[to - 1] = x;
  return to - 1;
}

// Replaces one element equal to old in the ascending list v by x, keeping it
// ascending (x before any equal values). Gives x's new position.
inline std::size_t replace_sorted(std::vector<double>& v, double old, double x) {
  std::size_t from = 0;
  std::size_t to = 0;
  if (v.size() <= 24) {
    // A short list is counted through: no step waits on the one before.
    const std::int64_t old_key = total_order_key(old);
    const std::int64_t key = total_order_key(x);
    for (double e : v) {
      const std::int64_t k = total_order_key(e);
      from += k < old_key ? 1 : 0;
      to += k < key ? 1 : 0;
    }
  } else {
    from = total_lower_bound(v, old);
    to = total_lower_bound(v, x);
  }
  return move_into_place(v, from, to, x);
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
    if (!ring_.full()) [[unlikely]] {
      ring_.push(x);
      make_room(sorted_, ring_.capacity());
      newest_at_ = insert_sorted(sorted_, x);
      return true;
    }
    const double old = ring_.oldest();
    ring_.push(x);
    newest_at_ = replace_sorted(sorted_, old, x);
    return true;
  }

  bool full() const { return ring_.full(); }
  std::size_t size() const { return ring_.size(); }
  std::size_t period() const { return ring_.capacity(); }
  const std::vector<double>& sorted() const { return sorted_; }
  const Ring<double>& arrivals() const { return ring_; }
  double median() const { return sorted_median(sorted_); }
  // Where the newest value sits in sorted(): before any value equal to it.
  std::size_t newest_position() const { return newest_at_; }

 private:
  explicit SortedWindow(std::size_t period) : ring_(period) { reserve_initial(sorted_, period); }

  Ring<double> ring_;
  std::vector<double> sorted_;
  std::size_t newest_at_ = 0;
};

// RankWindow: the last `period` values (any but NaN) and, once full, how many
// of them are below the newest and how many equal it (itself included), by the
// comparisons of doubles (-0.0 equals +0.0), exactly as a scan of the window
// counts them. Short windows scan; longer ones keep the values sorted, where
// the newest value's place gives both counts. The sorted values have free
// slots on both sides, so a value leaves or enters by moving the shorter part
// of the list: the oldest and the newest value of a drifting series often lie
// at opposite ends, where a list with one open end moves nearly all of it.
class RankWindow {
 public:
  // Windows up to this length count by a scan, which is faster there than
  // keeping the sorted list.
  static constexpr std::size_t kScanLimit = 48;

  static Expected<RankWindow, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return RankWindow(static_cast<std::size_t>(period));
  }

  void push(double x) {
    if (slots_.size() < period_) [[unlikely]] {
      fill(x);
      return;
    }
    const double old = slots_[oldest_];
    slots_[oldest_] = x;
    oldest_ = oldest_ + 1 == period_ ? 0 : oldest_ + 1;
    if (sorted_) {
      replace(old, x);
    } else {
      scan_counts(x);
    }
  }

  bool full() const { return slots_.size() == period_; }
  std::size_t period() const { return period_; }
  // Once full: held values below the newest one, and equal to it.
  std::size_t newest_below() const { return below_; }
  std::size_t newest_equal() const { return equal_; }

 private:
  explicit RankWindow(std::size_t period) : period_(period), sorted_(period > kScanLimit) {
    reserve_initial(slots_, period);
    if (sorted_) reserve_initial(store_, period);
  }

  // Out of line, as are the sorted steps below: the scanning windows' step
  // stays small enough to be laid out around its one loop.
  [[gnu::noinline]] void fill(double x) {
    append_within(slots_, x, period_);
    if (!sorted_) {
      if (full()) scan_counts(x);
      return;
    }
    make_room(store_, period_);
    const std::size_t at = insert_sorted(store_, x);
    if (!full()) return;
    // Once, when the window fills: room on both sides of the values, an
    // eighth of the window each, so a steady drift moves them back to the
    // middle at most once every period / 8 inputs.
    const std::size_t slack = period_ / 8 + 1;
    store_.resize(period_ + 2 * slack);
    std::memmove(store_.data() + slack, store_.data(), period_ * sizeof(double));
    lo_ = slack;
    sorted_counts(x, at);
  }

  // Counts do not depend on the order of the values, so the scan runs over
  // the slots as they lie, one loop of a fixed length.
  void scan_counts(double x) {
    std::size_t below = 0;
    std::size_t not_above = 0;
    for (double v : slots_) {
      below += v < x ? 1 : 0;
      not_above += v <= x ? 1 : 0;
    }
    below_ = below;
    equal_ = not_above - below;
  }

  [[gnu::noinline]] void replace(double old, double x) {
    const std::size_t n = period_;
    double* d = store_.data();
    const std::span<double> held(d + lo_, n);
    const std::size_t from = total_lower_bound(held, old);
    const std::size_t to = total_lower_bound(held, x);
    const std::size_t at = to > from ? to - 1 : to;
    // Either the values between the two places move by one, or the old value
    // leaves and x enters each by moving the shorter side: whichever moves less.
    const std::size_t between = from > at ? from - at : at - from;
    const std::size_t closing = std::min(from, n - 1 - from);
    const std::size_t opening = std::min(at, n - 1 - at);
    if (between <= closing + opening) {
      sorted_counts(x, move_into_place(held, from, to, x));
      return;
    }
    if (from < n - 1 - from) {
      std::memmove(d + lo_ + 1, d + lo_, from * sizeof(double));
      ++lo_;
    } else {
      std::memmove(d + lo_ + from, d + lo_ + from + 1, (n - 1 - from) * sizeof(double));
    }
    // x enters at its place among the n - 1 others: the shorter side opens a
    // gap, after moving the values back to the middle if that side is full.
    const bool left = at < n - 1 - at;
    if (left ? lo_ == 0 : lo_ + n > store_.size()) {
      const std::size_t middle = (store_.size() - (n - 1)) / 2;
      std::memmove(d + middle, d + lo_, (n - 1) * sizeof(double));
      lo_ = middle;
    }
    if (left) {
      std::memmove(d + lo_ - 1, d + lo_, at * sizeof(double));
      --lo_;
    } else {
      std::memmove(d + lo_ + at + 1, d + lo_ + at, (n - 1 - at) * sizeof(double));
    }
    d[lo_ + at] = x;
    sorted_counts(x, at);
  }

  // x sits at position at of the sorted values, after every value below it
  // in total order and before every other one equal to it. Values equal to x
  // by comparison lie next to it: a -0.0 just before a +0.0, and the copies
  // of x just after it.
  void sorted_counts(double x, std::size_t at) {
    const std::span<const double> s(store_.data() + lo_, period_);
    std::size_t first = at;
    if (x == 0.0 && at > 0 && s[at - 1] == 0.0) {
      first = sorted_prefix_length(s.first(at), [x](double e) { return e < x; });
    }
    const std::size_t end = run_end_after(s, at, [x](double e) { return e == x; });
    below_ = first;
    equal_ = end - first;
  }

  std::size_t period_;
  bool sorted_;                // above kScanLimit
  std::vector<double> slots_;  // the held values by slot, filled in arrival order
  std::size_t oldest_ = 0;     // the oldest value's slot once full
  std::vector<double> store_;  // the sorted values at lo_ .. lo_ + period_ once full
  std::size_t lo_ = 0;
  std::size_t below_ = 0;
  std::size_t equal_ = 0;
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
