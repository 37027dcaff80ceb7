// RunWindowSum: a re-summed WindowSum (window_sum.h) of the last n values,
// with the window held as runs of equal values, so that one value pushed k
// times costs time that does not grow with k. Every sum is the one k single
// pushes leave: the oldest value subtracted first, +0.0 as the last non-zero
// value leaves, the newest added, and an exact re-summing every n pushes.
// Single-threaded use.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "indicators/cores/growing_storage.h"
#include "indicators/cores/running_sum.h"

namespace vsci {

// Equal in every bit: -0.0 differs from +0.0, and a NaN may equal itself.
inline bool bitwise_equal(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

class RunWindowSum {
 public:
  explicit RunWindowSum(std::size_t n) : runs_(n), n_(n) {}

  // Appends x, dropping the oldest value first when the window is full.
  // Inlined into its owner's step, as a call would cost more than the step.
  [[gnu::always_inline]] void push(double x) {
    if (full()) {
      Run& oldest = runs_.front();
      sum_.remove(oldest.value);
      if (--oldest.count == 0) runs_.pop_front();
      --held_;
    }
    // A single push is a run of its own: checking its neighbour would cost
    // more than the merge saves.
    runs_.push_back(Run{x, 1});
    ++held_;
    sum_.add(x);
    if (++pushes_ == n_) resum();
  }
  // `times` pushes of x. The time does not grow with `times` when x is
  // finite and positive, no held value is negative and the values pushed out
  // are runs of x or values pushed one by one (each already paid for).
  void push_repeated(double x, std::uint64_t times);

  bool full() const { return held_ == n_; }
  std::size_t capacity() const { return n_; }
  double sum() const { return sum_.value(); }

 private:
  struct Run {
    double value;
    std::size_t count;
  };

  void append(double x, std::size_t count) {
    held_ += count;
    if (!runs_.empty() && bitwise_equal(runs_.back().value, x)) {
      runs_.back().count += count;
      return;
    }
    runs_.push_back(Run{x, count});
  }
  // Removes the `count` oldest values; answers how many of them were not 0.
  std::size_t drop_oldest(std::size_t count);
  [[gnu::noinline]] void resum();

  BoundedDeque<Run> runs_;  // oldest first
  std::size_t n_;
  std::size_t held_ = 0;
  RunningSum sum_;
  std::size_t pushes_ = 0;  // since the last re-summing
};

}  // namespace vsci
