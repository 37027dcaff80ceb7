// Storage for windows that grows with the values they actually hold rather
// than with their declared length. A window may be declared up to MAX_PERIOD
// values long; allocating (and zero-filling) that up front would make a
// process's memory a function of the parameters it was asked for instead of
// the data it was fed. Growth doubles and never passes the declared length,
// so a window allocates a few times while filling and never once full.
// BoundedDeque is a double-ended queue of at most a given number of elements
// on the same terms. Single-threaded use.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vsci {

// Elements reserved when a window is made: windows up to this length never
// reallocate at all.
inline constexpr std::size_t kInitialWindowSlots = 64;

template <class T>
void reserve_initial(std::vector<T>& v, std::size_t limit) {
  v.reserve(std::min(limit, kInitialWindowSlots));
}

// Doubles v's capacity (at least kInitialWindowSlots), but not past limit.
template <class T>
[[gnu::noinline]] void grow_capacity(std::vector<T>& v, std::size_t limit) {
  v.reserve(std::min(limit, std::max(v.capacity() * 2, kInitialWindowSlots)));
}

// Makes room for one more element in v, which never holds more than limit
// elements, so that a following push_back or insert does not reallocate.
template <class T>
void make_room(std::vector<T>& v, std::size_t limit) {
  if (v.size() == v.capacity()) grow_capacity(v, limit);
}

// Appends x to v, which holds fewer than limit elements. Only windows that
// are still filling call it, so it stays out of line, away from the per-input
// steps of full windows.
template <class T>
[[gnu::noinline]] void append_within(std::vector<T>& v, T x, std::size_t limit) {
  make_room(v, limit);
  v.push_back(x);
}

// A first-in first-out queue that may also drop from its back, holding at
// most `limit` elements in a circular buffer that doubles as needed.
template <class T>
class BoundedDeque {
 public:
  BoundedDeque() = default;
  explicit BoundedDeque(std::size_t limit) : limit_(limit) {}

  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  // i = 0 is the front.
  T& operator[](std::size_t i) { return buf_[wrap(head_ + i)]; }
  const T& operator[](std::size_t i) const { return buf_[wrap(head_ + i)]; }
  T& front() { return buf_[head_]; }
  T& back() { return (*this)[size_ - 1]; }

  void pop_front() {
    head_ = wrap(head_ + 1);
    --size_;
  }
  void pop_back() { --size_; }
  // Needs size() < limit.
  void push_back(const T& x) {
    if (size_ == buf_.size()) grow();
    buf_[wrap(head_ + size_)] = x;
    ++size_;
  }

 private:
  std::size_t wrap(std::size_t i) const { return i >= buf_.size() ? i - buf_.size() : i; }

  // Lays the elements out from slot 0 in a buffer twice as long (at least
  // kInitialWindowSlots), but not past the limit.
  [[gnu::noinline]] void grow() {
    const std::size_t slots = std::min(limit_, std::max(buf_.size() * 2, kInitialWindowSlots));
    std::vector<T> next;
    next.reserve(slots);
    for (std::size_t i = 0; i < size_; ++i) next.push_back((*this)[i]);
    next.resize(slots);
    buf_.swap(next);
    head_ = 0;
  }

  std::vector<T> buf_;  // its size is the circular buffer's length
  std::size_t limit_ = 0;
  std::size_t head_ = 0;
  std::size_t size_ = 0;
};

}  // namespace vsci
