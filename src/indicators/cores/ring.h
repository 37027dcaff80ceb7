// A fixed-capacity first-in first-out ring of values, sized once at
// construction; pushing into a full ring drops the oldest value. Index 0 is the
// oldest held value. Single-threaded use.
#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

namespace vsci {

template <class T = double>
class Ring {
 public:
  Ring() = default;
  explicit Ring(std::size_t capacity) : buf_(capacity) {}

  std::size_t capacity() const { return buf_.size(); }
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  bool full() const { return count_ == buf_.size(); }

  // Appends x; when full, first drops the oldest value. Capacity must be > 0.
  void push(const T& x) {
    buf_[head_] = x;
    head_ = head_ + 1 == buf_.size() ? 0 : head_ + 1;
    if (count_ < buf_.size()) ++count_;
  }
  // The value that the next push would drop (the oldest, when full).
  const T& oldest() const { return (*this)[0]; }
  const T& newest() const { return (*this)[count_ - 1]; }
  // i = 0 is the oldest held value, size() - 1 the newest.
  const T& operator[](std::size_t i) const {
    std::size_t start = count_ == buf_.size() ? head_ : 0;
    std::size_t k = start + i;
    if (k >= buf_.size()) k -= buf_.size();
    return buf_[k];
  }
  // i = 0 is the newest held value.
  const T& back(std::size_t i) const { return (*this)[count_ - 1 - i]; }
  // The held values oldest first, as two contiguous runs (the second may be
  // empty), for passes over the window without per-element index arithmetic.
  std::pair<std::span<const T>, std::span<const T>> runs() const {
    const T* base = buf_.data();
    if (count_ < buf_.size()) return {std::span<const T>(base, count_), std::span<const T>()};
    return {std::span<const T>(base + head_, buf_.size() - head_), std::span<const T>(base, head_)};
  }
  void clear() {
    head_ = 0;
    count_ = 0;
  }

 private:
  std::vector<T> buf_;
  std::size_t head_ = 0;  // slot of the next write
  std::size_t count_ = 0;
};

}  // namespace vsci
