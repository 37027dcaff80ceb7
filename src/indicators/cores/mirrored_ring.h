// MirroredRing: the last n values of a window, each written twice, n slots
// apart, so that the held values are always one contiguous span, oldest
// first: window kinds and scans read them without copying or wrapping. While
// filling, only the first copy exists, growing with the values pushed (see
// growing_storage.h); the mirror half is added when the window fills.
// Single-threaded use.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "indicators/cores/growing_storage.h"

namespace vsci {

template <class T = double>
class MirroredRing {
 public:
  MirroredRing() = default;
  explicit MirroredRing(std::size_t capacity) : capacity_(capacity) { reserve_initial(buf_, capacity); }

  // Appends x; when full, first drops the oldest value. Capacity must be > 0.
  void push(const T& x) {
    if (count_ < capacity_) [[unlikely]] {
      fill(x);
      return;
    }
    buf_[head_] = x;
    buf_[head_ + capacity_] = x;
    head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
  }
  bool full() const { return count_ == capacity_; }
  std::size_t capacity() const { return capacity_; }
  std::span<const T> oldest_first() const {
    if (count_ < capacity_) return {buf_.data(), count_};
    return {buf_.data() + head_, capacity_};
  }

 private:
  [[gnu::noinline, gnu::cold]] void fill(T x) {
    append_within(buf_, x, capacity_);
    if (++count_ < capacity_) return;
    // Full: from now on each push writes slot i and its mirror i + capacity_.
    // A read of the span from head_ only reaches mirror slots written since.
    buf_.reserve(2 * capacity_);
    buf_.resize(2 * capacity_);
  }

  std::vector<T> buf_;  // by slot; the mirror half exists once full
  std::size_t capacity_ = 0;
  std::size_t head_ = 0;  // the slot of the next write once full (0 until then)
  std::size_t count_ = 0;
};

}  // namespace vsci
