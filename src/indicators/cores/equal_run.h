// EqualRun: whether the latest `cap` inputs all equal the newest one. Lets a
// window kind see that its whole window is one repeated value and give that
// case's exact result instead of rounding residue. Single-threaded use.
#pragma once

#include <cstdint>
#include <limits>

namespace vsci {

class EqualRun {
 public:
  explicit EqualRun(std::uint64_t cap) : cap_(cap) {}

  // On moving data an input rarely equals the last one, so the hot path is a
  // compare and two stores. The NaN before the first input equals nothing,
  // and 2^64 pushes never come, so the run needs no cap.
  void push(double x) {
    if (x == last_) [[unlikely]] {
      ++run_;
    } else {
      run_ = 1;
    }
    last_ = x;
  }
  // The last `cap` inputs (all of them, once `cap` were pushed) are equal.
  bool whole() const { return run_ >= cap_; }

 private:
  std::uint64_t cap_;
  std::uint64_t run_ = 0;
  double last_ = std::numeric_limits<double>::quiet_NaN();
};

}  // namespace vsci
