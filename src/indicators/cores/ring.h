// A fixed-capacity first-in first-out ring of values; pushing into a full ring
// drops the oldest value. Index 0 is the oldest held value. Its storage grows
// with the values pushed, up to the capacity (see growing_storage.h). Also the
// ordered sum of a ring's values. Single-threaded use.
#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "indicators/cores/growing_storage.h"

namespace vsci {

template <class T = double>
class Ring {
 public:
  Ring() = default;
  explicit Ring(std::size_t capacity) : capacity_(capacity) { reserve_initial(buf_, capacity); }

  std::size_t capacity() const { return capacity_; }
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  bool full() const { return count_ == capacity_; }

  // Appends x; when full, first drops the oldest value. Capacity must be > 0.
  void push(const T& x) {
    if (count_ < capacity_) [[unlikely]] {
      fill(x);
      return;
    }
    // Full: the oldest value's slot takes x, and the next one holds the oldest.
    buf_[start_] = x;
    start_ = start_ + 1 == capacity_ ? 0 : start_ + 1;
  }
  // The value that the next push would drop (the oldest, when full).
  const T& oldest() const { return (*this)[0]; }
  const T& newest() const { return (*this)[count_ - 1]; }
  // i = 0 is the oldest held value, size() - 1 the newest.
  const T& operator[](std::size_t i) const {
    std::size_t k = start_ + i;
    if (k >= capacity_) k -= capacity_;
    return buf_[k];
  }
  // i = 0 is the newest held value.
  const T& back(std::size_t i) const { return (*this)[count_ - 1 - i]; }
  // The held values oldest first, as two contiguous runs (the second may be
  // empty), for passes over the window without per-element index arithmetic.
  std::pair<std::span<const T>, std::span<const T>> runs() const {
    const T* base = buf_.data();
    return {std::span<const T>(base + start_, count_ - start_), std::span<const T>(base, start_)};
  }
  void clear() {
    buf_.clear();
    start_ = 0;
    count_ = 0;
  }

 private:
  // Out of line, away from the per-input step of a full ring. While filling,
  // the oldest value is in slot 0 and the next slot is the end of the buffer.
  [[gnu::noinline, gnu::cold]] void fill(T x) {
    make_room(buf_, capacity_);
    buf_.push_back(x);
    ++count_;
  }

  std::vector<T> buf_;  // the held values by slot; grows to capacity_ while filling
  std::size_t capacity_ = 0;
  std::size_t start_ = 0;  // slot of the oldest value; 0 until full
  std::size_t count_ = 0;
};

// Σ proj(v) over the held values v, oldest first, starting from -0.0.
template <class T, class Proj>
double sum_oldest_first(const Ring<T>& ring, Proj proj) {
  const auto [first, second] = ring.runs();
  double sum = -0.0;
  for (const T& v : first) sum += proj(v);
  for (const T& v : second) sum += proj(v);
  return sum;
}

inline double sum_oldest_first(const Ring<double>& ring) {
  return sum_oldest_first(ring, [](double v) { return v; });
}

}  // namespace vsci
