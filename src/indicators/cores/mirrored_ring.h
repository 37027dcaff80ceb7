// MirroredRing: the last n values of a window, each written twice, n slots
// apart, so that the held values are always one contiguous span, oldest
// first: window kinds and scans read them without copying or wrapping. A
// ring that grows (the default) holds only the first copy while filling,
// growing with the values pushed (see growing_storage.h), and adds the mirror
// half when the window fills; a short window may instead be allocated whole
// at construction, which keeps every check off its push, and is read by the
// number of values its owner has pushed. Single-threaded use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "indicators/cores/growing_storage.h"

namespace vsci {

// How a ring takes its storage: as values arrive, or whole when it is built.
enum class RingStorage { Grows, Whole };

template <class T = double, RingStorage Storage = RingStorage::Grows>
class MirroredRing {
  static constexpr bool Grows = Storage == RingStorage::Grows;


 public:
  MirroredRing() = default;
  explicit MirroredRing(std::size_t capacity) : capacity_(capacity) {
    if constexpr (Grows) {
      reserve_initial(buf_, capacity);
    } else {
      buf_.resize(2 * capacity);
    }
  }

  // Appends x; when full, first drops the oldest value. Capacity must be > 0.
  void push(const T& x) {
    if constexpr (Grows) {
      if (count_ < capacity_) [[unlikely]] {
        fill(x);
        return;
      }
    }
    buf_[head_] = x;
    buf_[head_ + capacity_] = x;
    head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
  }

  bool full() const
    requires Grows
  {
    return count_ == capacity_;
  }
  std::span<const T> oldest_first() const
    requires Grows
  {
    if (count_ < capacity_) return {buf_.data(), count_};
    return {buf_.data() + head_, capacity_};
  }
  // The held values, given how many the owner has pushed.
  std::span<const T> held(std::uint64_t pushed) const
    requires(!Grows)
  {
    if (pushed < capacity_) return {buf_.data(), static_cast<std::size_t>(pushed)};
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
  std::size_t head_ = 0;   // the slot of the next write once full (always, when allocated whole)
  std::size_t count_ = 0;  // values held while growing
};

}  // namespace vsci
