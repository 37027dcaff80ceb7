// MonotoneExtreme: the largest or smallest of the last `window` pushed values
// and how many pushes ago it came, with exactly the value (bits included) and
// position a scan of the window gives, the caller choosing which of equal
// values (+0.0 and -0.0 among them) the scan keeps. NaN is never an extreme. Long windows keep a queue
// of the values that can still become the extreme (amortised constant time
// per push); windows of up to kScannedWindow values are scanned when asked,
// which is faster at that length. The queue's storage grows with the values
// it holds, up to the window (see growing_storage.h). Single-threaded use.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "indicators/cores/growing_storage.h"

namespace vsci {

enum class ExtremeSide : unsigned char { Largest, Smallest };

// Which of equal values a scan oldest first keeps: the first it meets (a scan
// replacing on strictly beyond) or the last (replacing on beyond or equal).
// An fmax / fmin fold is one of the two, by the operand it hands back on a
// tie and the order the fold passes them in.
enum class ExtremeTie : unsigned char { Oldest, Newest };

// Windows up to this length are scanned rather than queued.
inline constexpr std::size_t kScannedWindow = 24;

template <ExtremeSide Side, ExtremeTie Tie>
class MonotoneExtreme {
 public:
  explicit MonotoneExtreme(std::size_t window) : window_(window) {
    if (scanned()) {
      values_.resize(window);
    } else {
      slots_.resize(std::bit_ceil(std::min(window, kInitialWindowSlots)));
      mask_ = slots_.size() - 1;
    }
  }

  void push(double x) {
    ++pushed_;
    if (scanned()) {
      values_[next_] = x;
      next_ = next_ + 1 == window_ ? 0 : next_ + 1;
      return;
    }
    // The queue holds its values oldest first, so only the front can leave.
    if (head_ != tail_ && pushed_ - at(head_).number >= window_) ++head_;
    if (std::isnan(x)) return;
    while (head_ != tail_ && displaces(x, at(tail_ - 1).value)) --tail_;
    if (tail_ - head_ == slots_.size()) grow();
    at(tail_++) = Entry{x, pushed_};
  }

  std::size_t window() const { return window_; }
  // At least `window` values have been pushed.
  bool full() const { return pushed_ >= window_; }
  // No comparable value in the window (nothing pushed, or only NaN).
  bool empty() const { return !front<false>().found; }
  // Need !empty().
  double value() const { return front<false>().value; }
  // Pushes since the extreme's own: 0 when it is the latest value.
  std::size_t age() const { return front<true>().age; }

  // What a scan of the window that starts from `start` ends with, replacing
  // as the tie rule says (NaN entries skipped).
  double fold_from(double start) const {
    const Extreme e = front<false>();
    return e.found && displaces(e.value, start) ? e.value : start;
  }

 private:
  struct Entry {
    double value;
    std::uint64_t number;  // the push that brought it, from 1
  };

  struct Extreme {
    bool found = false;
    double value = 0.0;
    std::size_t age = 0;
  };

  static bool beyond(double a, double b) {
    if constexpr (Side == ExtremeSide::Largest) {
      return a > b;
    } else {
      return a < b;
    }
  }

  // Whether a newer x takes the place of an older b as the scan would pick
  // between them (a bitwise or: no branch on the data).
  static bool displaces(double x, double b) {
    if constexpr (Tie == ExtremeTie::Oldest) {
      return beyond(x, b);
    } else {
      return beyond(x, b) | (x == b);
    }
  }

  bool scanned() const { return window_ <= kScannedWindow; }
  Entry& at(std::uint64_t i) { return slots_[i & mask_]; }
  const Entry& at(std::uint64_t i) const { return slots_[i & mask_]; }

  template <bool WithAge>
  Extreme front() const {
    if (scanned()) return scan<WithAge>();
    if (head_ == tail_) return Extreme{};
    const Entry& e = at(head_);
    return Extreme{true, e.value, static_cast<std::size_t>(pushed_ - e.number)};
  }

  // The held values oldest first: the slots from next_ to the end (none while
  // filling), then those from 0.
  struct Runs {
    const double* older;
    std::size_t older_count;
    const double* newer;
    std::size_t newer_count;
  };
  Runs runs() const {
    const bool filled = pushed_ >= window_;
    return Runs{values_.data() + next_, filled ? window_ - next_ : 0, values_.data(),
                filled ? next_ : static_cast<std::size_t>(pushed_)};
  }

  // The scan of the held values oldest first, from -inf for the largest (+inf
  // for the smallest); the position is tracked only when asked for. A window
  // of nothing beyond that start (only NaN and infinities of the start's
  // sign, or nothing) takes the slow scan.
  template <bool WithAge>
  Extreme scan() const {
    constexpr double kStart = Side == ExtremeSide::Largest ? -HUGE_VAL : HUGE_VAL;
    const Runs r = runs();
    double best = kStart;
    std::size_t best_at = 0;
    for (std::size_t k = 0; k < r.older_count; ++k) {
      const bool take = displaces(r.older[k], best);
      best = take ? r.older[k] : best;
      if constexpr (WithAge) best_at = take ? k : best_at;
    }
    for (std::size_t k = 0; k < r.newer_count; ++k) {
      const bool take = displaces(r.newer[k], best);
      best = take ? r.newer[k] : best;
      if constexpr (WithAge) best_at = take ? r.older_count + k : best_at;
    }
    if (best == kStart) [[unlikely]] return scan_from_first();
    return Extreme{true, best, WithAge ? r.older_count + r.newer_count - 1 - best_at : 0};
  }

  // The same scan started from the first comparable value.
  [[gnu::noinline]] Extreme scan_from_first() const {
    const Runs r = runs();
    const std::size_t held = r.older_count + r.newer_count;
    const auto value_at = [&](std::size_t k) { return k < r.older_count ? r.older[k] : r.newer[k - r.older_count]; };
    std::size_t first = 0;
    while (first < held && std::isnan(value_at(first))) ++first;
    if (first == held) return Extreme{};
    std::size_t best_at = first;
    for (std::size_t k = first + 1; k < held; ++k) {
      if (displaces(value_at(k), value_at(best_at))) best_at = k;
    }
    return Extreme{true, value_at(best_at), held - 1 - best_at};
  }

  // Doubles the queue's storage, laid out again from slot 0 (never past the
  // window rounded up to a power of two).
  [[gnu::noinline]] void grow() {
    std::vector<Entry> next(slots_.size() * 2);
    for (std::uint64_t i = head_; i != tail_; ++i) next[i - head_] = at(i);
    tail_ -= head_;
    head_ = 0;
    slots_.swap(next);
    mask_ = slots_.size() - 1;
  }

  std::size_t window_;
  std::uint64_t pushed_ = 0;
  // Queued: entries head_ .. tail_ - 1 of the slots (taken modulo their
  // count, a power of two).
  std::vector<Entry> slots_;
  std::uint64_t mask_ = 0;
  std::uint64_t head_ = 0;
  std::uint64_t tail_ = 0;
  // Scanned: the window's values around a ring, and the slot the next push
  // writes.
  std::vector<double> values_;
  std::size_t next_ = 0;
};

// Named by tie rule, then side.
using OldestLargest = MonotoneExtreme<ExtremeSide::Largest, ExtremeTie::Oldest>;
using OldestSmallest = MonotoneExtreme<ExtremeSide::Smallest, ExtremeTie::Oldest>;
using NewestLargest = MonotoneExtreme<ExtremeSide::Largest, ExtremeTie::Newest>;
using NewestSmallest = MonotoneExtreme<ExtremeSide::Smallest, ExtremeTie::Newest>;

}  // namespace vsci
