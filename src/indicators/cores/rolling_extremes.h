// RollingExtremes: the largest and smallest of the last `window` pushed values
// in amortised constant time, for the kinds that track a window's range
// (Frama, AdaptiveLaguerreFilter, the Ehlers stochastic and Fisher transform).
// Pushed values must be comparable (no NaN). Single-threaded use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vsci {

// Largest and smallest of the last `window` pushed values in amortised
// constant time: two queues of slot indices whose values fall (for the
// largest) or rise (for the smallest) from front to back.
class RollingExtremes {
 public:
  explicit RollingExtremes(std::size_t window) : values_(window), high_(window), low_(window) {}

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
    values_[head_] = x;
    high_.push_back(slot);
    low_.push_back(slot);
    head_ = head_ + 1 == values_.size() ? 0 : head_ + 1;
  }

  bool full() const { return count_ == values_.size(); }
  // The value the next push evicts; only meaningful when full.
  double oldest() const { return values_[head_]; }
  // Need at least one push.
  double largest() const { return values_[high_.front()]; }
  double smallest() const { return values_[low_.front()]; }

 private:
  // A fixed-capacity double-ended queue of slot indices.
  class SlotQueue {
   public:
    explicit SlotQueue(std::size_t capacity) : slots_(capacity) {}
    bool empty() const { return size_ == 0; }
    std::uint32_t front() const { return slots_[head_]; }
    std::uint32_t back() const { return slots_[wrap(head_ + size_ - 1)]; }
    void pop_front() {
      head_ = wrap(head_ + 1);
      --size_;
    }
    void pop_back() { --size_; }
    void push_back(std::uint32_t slot) {
      slots_[wrap(head_ + size_)] = slot;
      ++size_;
    }

   private:
    std::size_t wrap(std::size_t i) const { return i >= slots_.size() ? i - slots_.size() : i; }
    std::vector<std::uint32_t> slots_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
  };

  std::vector<double> values_;  // by slot; slot head_ is the next written
  SlotQueue high_;
  SlotQueue low_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
};

}  // namespace vsci
