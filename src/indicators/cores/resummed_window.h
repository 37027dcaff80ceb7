// ResummedWindow: a ring of the last n values with a running sum that is
// re-summed exactly (oldest_first_sum) every n pushes, so long streams keep
// no drift. A window whose values are all zero sums to exactly +0.0 whatever
// residue the running sum kept. Single-threaded use.
#pragma once

#include <cstddef>

#include "indicators/cores/ring.h"

namespace vsci {

// The plain sum of the held values, oldest first.
inline double oldest_first_sum(const Ring<double>& ring) {
  const auto [older, newer] = ring.runs();
  double s = -0.0;
  for (double v : older) s += v;
  for (double v : newer) s += v;
  return s;
}

class ResummedWindow {
 public:
  ResummedWindow() = default;
  explicit ResummedWindow(std::size_t n) : ring_(n) {}

  // Drops the oldest value of a full window, then appends x.
  void push(double x) {
    if (ring_.full()) {
      const double old = ring_.oldest();
      sum_ = sum_ - old;
      if (old != 0.0) --nonzero_;
    }
    ring_.push(x);
    sum_ = sum_ + x;
    if (x != 0.0) ++nonzero_;
    if (++pushes_ == ring_.capacity()) resum();
    if (nonzero_ == 0) sum_ = 0.0;
  }

  bool full() const { return ring_.full(); }
  std::size_t length() const { return ring_.capacity(); }
  double sum() const { return sum_; }

 private:
  [[gnu::noinline]] void resum() {
    sum_ = oldest_first_sum(ring_);
    pushes_ = 0;
  }

  Ring<double> ring_;
  double sum_ = 0.0;
  std::size_t pushes_ = 0;
  std::size_t nonzero_ = 0;
};

}  // namespace vsci
