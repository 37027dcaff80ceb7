// The zigzag every swing-based kind carries (a 5 % reversal unless the kind
// sets its own): confirmed swing highs and lows with their bar indices, the
// last few kept inline (no heap), plus the pattern step and the tolerance test
// the swing patterns share. Single-threaded use.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "market/bar_context.h"

namespace vsci {

struct SwingPivot {
  double price = 0.0;
  double kind = 0.0;  // +1.0 swing high, -1.0 swing low
  std::uint64_t bar = 0;
};

class SwingTracker {
 public:
  // The most pivots any kind keeps; the list lives inline at this size so it
  // never grows on the heap.
  static constexpr std::size_t kCapacity = 7;

  // A reversal of `fraction` (in (0, 1)) from the leg's extreme confirms it.
  explicit constexpr SwingTracker(std::size_t max_pivots, double fraction = 0.05)
      : max_pivots_(max_pivots < kCapacity ? max_pivots : kCapacity), fraction_(fraction) {}

  // Feeds one valid bar; true when this bar confirmed a pivot.
  bool update(double high, double low) {
    const std::uint64_t i = bars_++;
    if (!leg_) {
      leg_ = Leg{1.0, high, i};
      return false;
    }
    Leg& leg = *leg_;
    if (leg.direction > 0.0) {
      if (high > leg.extreme) {
        leg.extreme = high;
        leg.bar = i;
        return false;
      }
      if (low <= leg.extreme * (1.0 - fraction_)) {
        push({leg.extreme, 1.0, leg.bar});
        leg = Leg{-1.0, low, i};
        return true;
      }
      return false;
    }
    if (low < leg.extreme) {
      leg.extreme = low;
      leg.bar = i;
      return false;
    }
    if (high >= leg.extreme * (fraction_ + 1.0)) {
      push({leg.extreme, -1.0, leg.bar});
      leg = Leg{1.0, high, i};
      return true;
    }
    return false;
  }

  // Oldest first.
  std::span<const SwingPivot> pivots() const { return {pivots_.data(), count_}; }
  std::size_t size() const { return count_; }
  // The index of the bar fed last (meaningful once a bar was fed).
  std::uint64_t current_bar() const { return bars_ - 1; }

 private:
  struct Leg {
    double direction;
    double extreme;
    std::uint64_t bar;
  };

  void push(const SwingPivot& p) {
    if (count_ == max_pivots_) {
      for (std::size_t k = 1; k < count_; ++k) pivots_[k - 1] = pivots_[k];
      --count_;
    }
    pivots_[count_++] = p;
  }

  std::optional<Leg> leg_;
  std::array<SwingPivot, kCapacity> pivots_{};
  std::size_t count_ = 0;
  std::size_t max_pivots_;
  double fraction_;
  std::uint64_t bars_ = 0;
};

// |a - b| within f of the larger magnitude; the floor at the smallest normal
// double makes two zeros near, and fmax lets a NaN magnitude drop out.
inline bool near(double a, double b, double f) {
  const double m = std::fmax(std::fmax(std::fabs(a), std::fabs(b)), 2.2250738585072014e-308);
  return std::fabs(a - b) <= f * m;
}

// The k-th newest kept pivot (k = 1 is the newest).
inline const SwingPivot& nth_newest(std::span<const SwingPivot> p, std::size_t k) { return p[p.size() - k]; }

// A pattern that completes at a swing low is bullish, at a swing high bearish.
inline double completion_signal(std::span<const SwingPivot> p) { return nth_newest(p, 1).kind > 0.0 ? -1.0 : 1.0; }

// The step every swing pattern shares: a value once `needed` pivots are held,
// 0 on bars that confirm nothing, else the pattern's own verdict on the pivots
// (so a signal lasts exactly the confirming bar).
template <class Test>
std::optional<double> swing_pattern_step(SwingTracker& tracker, const Candle& c, std::size_t needed, Test test) {
  const bool confirmed = tracker.update(c.high, c.low);
  if (tracker.size() < needed) return std::nullopt;
  if (!confirmed) return 0.0;
  return test(tracker.pivots());
}

// A parameterless swing pattern kind: keeps exactly the pivots its test reads
// and warms up one bar past them (the bar that confirms the last).
template <std::size_t Pivots, double (*Pattern)(std::span<const SwingPivot>)>
class SwingPattern {
 public:
  std::optional<double> update_candle(const Candle& c) { return swing_pattern_step(tracker_, c, Pivots, Pattern); }
  std::uint64_t warmup() const { return Pivots + 1; }

 private:
  SwingTracker tracker_{Pivots};
};

}  // namespace vsci
