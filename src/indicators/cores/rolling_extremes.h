// RollingExtremes: the largest and smallest of the last `window` pushed values
// in amortised constant time, for the kinds that track a window's range
// (Frama, AdaptiveLaguerreFilter, the Ehlers stochastic, Fisher transform, Stochastic).
// Pushed values must be comparable (no NaN). Its storage grows with the values
// pushed, up to the window (see growing_storage.h). Single-threaded use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "indicators/cores/growing_storage.h"

namespace vsci {

// The longest window whose slots the queues can name (32-bit slot indices).
inline constexpr std::uint64_t kRollingExtremesMaxWindow = std::uint64_t{1} << 32;

// Largest and smallest of the last `window` pushed values in amortised
// constant time: two queues of slot indices whose values fall (for the
// largest) or rise (for the smallest) from front to back.
class RollingExtremes {
 public:
  explicit RollingExtremes(std::size_t window) : window_(window), high_(window), low_(window) {
    reserve_initial(values_, window);
  }

  void push(double x) {
    const auto slot = static_cast<std::uint32_t>(head_);
    if (full()) {
      // The evicted value is the oldest of the window, so if a queue still
      // holds it, it is that queue's front.
      if (!high_.empty() && high_.front() == slot) high_.pop_front();
      if (!low_.empty() && low_.front() == slot) low_.pop_front();
    } else {
      ++count_;
    }
    while (!high_.empty() && values_[high_.back()] <= x) high_.pop_back();
    while (!low_.empty() && values_[low_.back()] >= x) low_.pop_back();
    if (head_ == values_.size()) {
      append_within(values_, x, window_);  // filling: head_ is the end
    } else {
      values_[head_] = x;
    }
    high_.push_back(slot);
    low_.push_back(slot);
    head_ = head_ + 1 == window_ ? 0 : head_ + 1;
  }

  bool full() const { return count_ == window_; }
  // The value the next push evicts; only meaningful when full.
  double oldest() const { return values_[head_]; }
  // Need at least one push.
  double largest() const { return values_[high_.front()]; }
  double smallest() const { return values_[low_.front()]; }

 private:
  std::size_t window_ = 1;
  std::vector<double> values_;  // by slot; slot head_ is the next written
  BoundedDeque<std::uint32_t> high_;
  BoundedDeque<std::uint32_t> low_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
};

}  // namespace vsci
