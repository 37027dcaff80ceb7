// EqualRun: how many of the latest inputs equal the newest one, counted up to
// a cap. Lets a window kind see that its whole window is one repeated value
// and give that case's exact result instead of rounding residue.
// Single-threaded use.
#pragma once

#include <cstdint>

namespace vsci {

class EqualRun {
 public:
  explicit EqualRun(std::uint64_t cap) : cap_(cap) {}

  void push(double x) {
    run_ = run_ > 0 && x == last_ ? (run_ < cap_ ? run_ + 1 : cap_) : 1;
    last_ = x;
  }
  // The last `cap` inputs (all of them, once `cap` were pushed) are equal.
  bool whole() const { return run_ >= cap_; }

 private:
  std::uint64_t cap_;
  std::uint64_t run_ = 0;
  double last_ = 0.0;
};

}  // namespace vsci
