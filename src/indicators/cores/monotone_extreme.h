// Window extremes without scanning the window: the largest or smallest of the
// last `window` pushed values and how many pushes ago it came
// (MonotoneExtreme), or the largest of one series and the smallest of another
// pushed in pairs (MonotoneRange), with exactly the value (bits included) and
// position a scan of the window gives, the caller choosing which of equal
// values (+0.0 and -0.0 among them) the scan keeps. NaN is never an extreme.
// Long windows keep a queue of the values that can still become the extreme
// (amortised constant time per push); windows of up to kScannedWindow values
// are scanned when asked, which is faster at that length. The queues' storage
// grows with the values they hold, up to the window (see growing_storage.h).
// Single-threaded use.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "indicators/cores/growing_storage.h"
#include "indicators/cores/mirrored_ring.h"

namespace vsci {

enum class ExtremeSide : unsigned char { Largest, Smallest };

// Which of equal values a scan oldest first keeps: the first it meets (a scan
// replacing on strictly beyond) or the last (replacing on beyond or equal).
// An fmax / fmin fold is one of the two, by the operand it hands back on a
// tie and the order the fold passes them in.
enum class ExtremeTie : unsigned char { Oldest, Newest };

// Windows up to this length are scanned rather than queued.
inline constexpr std::size_t kScannedWindow = 32;

// An extreme as found: none when the window holds no comparable value.
struct WindowExtreme {
  bool found = false;
  double value = 0.0;
  std::size_t age = 0;  // pushes since its own: 0 for the latest value
};

namespace extreme_detail {

template <ExtremeSide Side>
bool beyond(double a, double b) {
  if constexpr (Side == ExtremeSide::Largest) {
    return a > b;
  } else {
    return a < b;
  }
}

// Whether a newer x takes the place of an older b as the scan would pick
// between them (a bitwise or: no branch on the data).
template <ExtremeSide Side, ExtremeTie Tie>
bool displaces(double x, double b) {
  if constexpr (Tie == ExtremeTie::Oldest) {
    return beyond<Side>(x, b);
  } else {
    return beyond<Side>(x, b) | (x == b);
  }
}

template <ExtremeSide Side>
inline constexpr double kScanStart = Side == ExtremeSide::Largest ? -HUGE_VAL : HUGE_VAL;

// One step of the fast scan: from kScanStart, replacing only on strictly
// beyond, which run oldest first keeps the first of equal values and run
// newest first the last.
template <ExtremeSide Side>
double step(double best, double v) {
  return beyond<Side>(v, best) ? v : best;
}

// The scan started from the first comparable of the n values v(0) (oldest)
// .. v(n - 1).
template <ExtremeSide Side, ExtremeTie Tie, class Get>
[[gnu::noinline]] WindowExtreme scan_from_first(std::size_t n, Get v) {
  std::size_t first = 0;
  while (first < n && std::isnan(v(first))) ++first;
  if (first == n) return WindowExtreme{};
  std::size_t best_at = first;
  for (std::size_t k = first + 1; k < n; ++k) {
    if (displaces<Side, Tie>(v(k), v(best_at))) best_at = k;
  }
  return WindowExtreme{true, v(best_at), n - 1 - best_at};
}

// The extreme of the n values v(k), given what the fast scan found; a window
// of nothing beyond kScanStart (only NaN and infinities of its sign, or
// nothing) takes the slow scan. The position is that of the first (last)
// value equal to it.
template <ExtremeSide Side, ExtremeTie Tie, bool WithAge, class Get>
WindowExtreme finish(std::size_t n, Get v, double best) {
  if (best == kScanStart<Side>) [[unlikely]] return scan_from_first<Side, Tie>(n, v);
  if constexpr (!WithAge) {
    return WindowExtreme{true, best, 0};
  } else {
    std::size_t at = 0;  // from the oldest
    if constexpr (Tie == ExtremeTie::Oldest) {
      while (!(v(at) == best)) ++at;
    } else {
      at = n - 1;
      while (!(v(at) == best)) --at;
    }
    return WindowExtreme{true, best, n - 1 - at};
  }
}

// What a scan of the window from `start` ends with, given the extreme.
template <ExtremeSide Side, ExtremeTie Tie>
double fold(const WindowExtreme& e, double start) {
  return e.found && displaces<Side, Tie>(e.value, start) ? e.value : start;
}

// The values of the window that can still become its extreme, oldest first,
// each with the number of the push that brought it; each is beyond (or, as
// the rule says, equal to) every value pushed after it.
template <ExtremeSide Side, ExtremeTie Tie>
class ExtremeQueue {
 public:
  // A window of 0 is a queue never pushed to.
  explicit ExtremeQueue(std::size_t window) : window_(window) {
    if (window == 0) return;
    slots_.resize(std::bit_ceil(std::min(window, kInitialWindowSlots)));
    mask_ = slots_.size() - 1;
  }

  // `number` counts the pushes, from 1.
  void push(double x, std::uint64_t number) {
    // Entries are held oldest first, so only the front can leave.
    if (head_ != tail_ && number - at(head_).number >= window_) ++head_;
    if (std::isnan(x)) return;
    while (head_ != tail_ && displaces<Side, Tie>(x, at(tail_ - 1).value)) --tail_;
    if (tail_ - head_ == slots_.size()) grow();
    at(tail_++) = Entry{x, number};
  }

  // `pushed` is the number of the latest push.
  WindowExtreme front(std::uint64_t pushed) const {
    if (head_ == tail_) return WindowExtreme{};
    const Entry& e = at(head_);
    return WindowExtreme{true, e.value, static_cast<std::size_t>(pushed - e.number)};
  }

 private:
  struct Entry {
    double value;
    std::uint64_t number;
  };

  Entry& at(std::uint64_t i) { return slots_[i & mask_]; }
  const Entry& at(std::uint64_t i) const { return slots_[i & mask_]; }

  // Doubles the storage, laid out again from slot 0 (never past the window
  // rounded up to a power of two).
  [[gnu::noinline]] void grow() {
    std::vector<Entry> next(slots_.size() * 2);
    for (std::uint64_t i = head_; i != tail_; ++i) next[i - head_] = at(i);
    tail_ -= head_;
    head_ = 0;
    slots_.swap(next);
    mask_ = slots_.size() - 1;
  }

  std::size_t window_;
  std::vector<Entry> slots_;  // a power of two of them
  std::uint64_t mask_ = 0;
  std::uint64_t head_ = 0;  // entries head_ .. tail_ - 1, modulo the slots
  std::uint64_t tail_ = 0;
};

}  // namespace extreme_detail

template <ExtremeSide Side, ExtremeTie Tie>
class MonotoneExtreme {
 public:
  explicit MonotoneExtreme(std::size_t window)
      : window_(window), scanned_(window <= kScannedWindow ? window : 0), queue_(window <= kScannedWindow ? 0 : window) {}

  void push(double x) {
    ++pushed_;
    if (scanned()) {
      scanned_.push(x);
    } else {
      queue_.push(x, pushed_);
    }
  }

  // The extreme with its age (not found: nothing pushed, or only NaN).
  WindowExtreme extreme() const { return front<true>(); }
  // What a scan of the window that starts from `start` ends with, replacing
  // as the tie rule says (NaN entries skipped).
  double fold_from(double start) const {
    if (Tie == ExtremeTie::Oldest && scanned()) {
      // That scan itself, oldest first from `start`.
      double best = start;
      for (double v : scanned_.held(pushed_)) best = extreme_detail::step<Side>(best, v);
      return best;
    }
    return extreme_detail::fold<Side, Tie>(front<false>(), start);
  }

 private:
  bool scanned() const { return window_ <= kScannedWindow; }

  // Inlined: the scan is the whole of a short window's cost, and a call's
  // overhead is a good part of it.
  template <bool WithAge>
  [[gnu::always_inline]] WindowExtreme front() const {
    using namespace extreme_detail;
    if (!scanned()) return queue_.front(pushed_);
    const std::span<const double> v = scanned_.held(pushed_);
    double best = kScanStart<Side>;
    if constexpr (Tie == ExtremeTie::Oldest && WithAge) {
      // The position found in the same pass.
      std::size_t at = 0;
      for (std::size_t k = 0; k < v.size(); ++k) {
        const bool take = beyond<Side>(v[k], best);
        best = take ? v[k] : best;
        at = take ? k : at;
      }
      if (best == kScanStart<Side>) [[unlikely]] return scan_from_first<Side, Tie>(v.size(), [v](std::size_t k) { return v[k]; });
      return WindowExtreme{true, best, v.size() - 1 - at};
    } else if constexpr (Tie == ExtremeTie::Oldest) {
      for (std::size_t k = 0; k < v.size(); ++k) best = step<Side>(best, v[k]);
    } else {
      for (std::size_t k = v.size(); k-- > 0;) best = step<Side>(best, v[k]);
    }
    return finish<Side, Tie, WithAge>(v.size(), [v](std::size_t k) { return v[k]; }, best);
  }

  std::size_t window_;
  std::uint64_t pushed_ = 0;
  MirroredRing<double, RingStorage::Whole> scanned_;  // empty unless scanned
  extreme_detail::ExtremeQueue<Side, Tie> queue_;
};

// The largest of the highs and smallest of the lows of the last `window`
// pairs pushed; a scanned window finds both in one pass.
template <ExtremeTie HighTie, ExtremeTie LowTie>
class MonotoneRange {
 public:
  struct Values {
    double largest;
    double smallest;
  };
  struct Ages {
    std::size_t largest;
    std::size_t smallest;
  };

  explicit MonotoneRange(std::size_t window)
      : window_(window),
        scanned_(window <= kScannedWindow ? window : 0),
        high_queue_(window <= kScannedWindow ? 0 : window),
        low_queue_(window <= kScannedWindow ? 0 : window) {}

  void push(double high, double low) {
    ++pushed_;
    if (scanned()) {
      scanned_.push(Pair{high, low});
    } else {
      high_queue_.push(high, pushed_);
      low_queue_.push(low, pushed_);
    }
  }

  std::size_t window() const { return window_; }
  // At least `window` pairs have been pushed.
  bool full() const { return pushed_ >= window_; }
  // What scans of the window from these starts end with (NaN skipped).
  Values fold_from(double largest_start, double smallest_start) const {
    if (HighTie == ExtremeTie::Oldest && LowTie == ExtremeTie::Oldest && scanned()) {
      // Those scans themselves, oldest first from the starts.
      double high = largest_start;
      double low = smallest_start;
      for (const Pair& p : scanned_.held(pushed_)) {
        high = extreme_detail::step<ExtremeSide::Largest>(high, p.high);
        low = extreme_detail::step<ExtremeSide::Smallest>(low, p.low);
      }
      return Values{high, low};
    }
    const auto [high, low] = extremes<false>();
    return Values{extreme_detail::fold<ExtremeSide::Largest, HighTie>(high, largest_start),
                  extreme_detail::fold<ExtremeSide::Smallest, LowTie>(low, smallest_start)};
  }
  // The extremes; need a comparable value on each side.
  Values values() const {
    const auto [high, low] = extremes<false>();
    return Values{high.value, low.value};
  }
  // One side's extreme alone; needs a comparable value on that side.
  double largest() const { return side<ExtremeSide::Largest, HighTie>(&Pair::high, high_queue_); }
  double smallest() const { return side<ExtremeSide::Smallest, LowTie>(&Pair::low, low_queue_); }
  Ages ages() const {
    const auto [high, low] = extremes<true>();
    return Ages{high.age, low.age};
  }

 private:
  struct Pair {
    double high;
    double low;
  };
  struct Extremes {
    WindowExtreme high;
    WindowExtreme low;
  };

  bool scanned() const { return window_ <= kScannedWindow; }

  template <ExtremeSide Side, ExtremeTie Tie, class Queue>
  double side(double Pair::*member, const Queue& queue) const {
    using namespace extreme_detail;
    if (!scanned()) return queue.front(pushed_).value;
    const std::span<const Pair> v = scanned_.held(pushed_);
    const std::size_t n = v.size();
    double best = kScanStart<Side>;
    for (std::size_t k = 0; k < n; ++k) best = step<Side>(best, v[Tie == ExtremeTie::Oldest ? k : n - 1 - k].*member);
    return finish<Side, Tie, false>(n, [v, member](std::size_t k) { return v[k].*member; }, best).value;
  }

  // Inlined, as MonotoneExtreme::front.
  template <bool WithAge>
  [[gnu::always_inline]] Extremes extremes() const {
    using namespace extreme_detail;
    constexpr ExtremeSide kHigh = ExtremeSide::Largest;
    constexpr ExtremeSide kLow = ExtremeSide::Smallest;
    if (!scanned()) return Extremes{high_queue_.front(pushed_), low_queue_.front(pushed_)};
    const std::span<const Pair> v = scanned_.held(pushed_);
    // One pass for both sides, each in its own direction.
    const std::size_t n = v.size();
    double high = kScanStart<kHigh>;
    double low = kScanStart<kLow>;
    for (std::size_t k = 0; k < n; ++k) {
      high = step<kHigh>(high, v[HighTie == ExtremeTie::Oldest ? k : n - 1 - k].high);
      low = step<kLow>(low, v[LowTie == ExtremeTie::Oldest ? k : n - 1 - k].low);
    }
    return Extremes{finish<kHigh, HighTie, WithAge>(n, [v](std::size_t k) { return v[k].high; }, high),
                    finish<kLow, LowTie, WithAge>(n, [v](std::size_t k) { return v[k].low; }, low)};
  }

  std::size_t window_;
  std::uint64_t pushed_ = 0;
  MirroredRing<Pair, RingStorage::Whole> scanned_;  // empty unless scanned
  extreme_detail::ExtremeQueue<ExtremeSide::Largest, HighTie> high_queue_;  // unused while scanned
  extreme_detail::ExtremeQueue<ExtremeSide::Smallest, LowTie> low_queue_;
};

// Named by tie rule, then side.
using OldestLargest = MonotoneExtreme<ExtremeSide::Largest, ExtremeTie::Oldest>;
using OldestSmallest = MonotoneExtreme<ExtremeSide::Smallest, ExtremeTie::Oldest>;
using NewestLargest = MonotoneExtreme<ExtremeSide::Largest, ExtremeTie::Newest>;
using NewestSmallest = MonotoneExtreme<ExtremeSide::Smallest, ExtremeTie::Newest>;
using OldestRange = MonotoneRange<ExtremeTie::Oldest, ExtremeTie::Oldest>;
using NewestRange = MonotoneRange<ExtremeTie::Newest, ExtremeTie::Newest>;

}  // namespace vsci
