// The counted window sum, for every window sum that must not keep rounding
// residue: kept by adding what enters and subtracting what leaves, in
// whichever order the owning kind writes, it becomes exactly +0.0 the moment
// the last non-zero term leaves, before any later term is added, so residue
// never stands in for an empty sum (a flat window then gives its promised
// fallback). CountedSums holds N of them side by side, RunningSum one, and
// PairedWindowSum the last n pairs of numbers with a sum of each component.
// Single-threaded use.
#pragma once

#include <array>
#include <cstddef>

#include "indicators/cores/ring.h"

namespace vsci {

// N counted sums stepped together, kept side by side so that a pair of them
// is added or subtracted as one vector. The rule is written here once.
template <std::size_t N>
class CountedSums {
 public:
  using Terms = std::array<double, N>;

  void add(const Terms& x) {
    for (std::size_t i = 0; i < N; ++i) sum_[i] = sum_[i] + x[i];
    for (std::size_t i = 0; i < N; ++i) {
      if (x[i] != 0.0) ++nonzero_[i];
    }
  }
  // x must be terms added earlier and still counted.
  void remove(const Terms& x) {
    for (std::size_t i = 0; i < N; ++i) sum_[i] = sum_[i] - x[i];
    // Whether a term counts is data (about even on moving prices); whether
    // the count ran out is rare, so only that one is a branch.
    for (std::size_t i = 0; i < N; ++i) {
      const bool counted = x[i] != 0.0;
      nonzero_[i] -= counted;
      if (nonzero_[i] == 0 && counted) [[unlikely]] sum_[i] = 0.0;
    }
  }
  double value(std::size_t i) const { return sum_[i]; }
  std::size_t nonzero(std::size_t i) const { return nonzero_[i]; }
  // The same terms re-summed exactly.
  void replace(std::size_t i, double exact) { sum_[i] = exact; }
  // Terms that entered or left in bulk: the caller rounds their sum itself
  // (an exact re-summing, or a run of one repeated term) and says how many
  // non-zero terms are now counted.
  void assign(std::size_t i, double sum, std::size_t nonzero) {
    sum_[i] = sum;
    nonzero_[i] = nonzero;
  }

 private:
  Terms sum_{};
  std::array<std::size_t, N> nonzero_{};
};

// One counted sum.
class RunningSum {
 public:
  void add(double x) { sums_.add({x}); }
  // x must be a term added earlier and still counted.
  void remove(double x) { sums_.remove({x}); }
  double value() const { return sums_.value(0); }
  std::size_t nonzero() const { return sums_.nonzero(0); }
  void replace(double exact) { sums_.replace(0, exact); }
  void assign(double sum, std::size_t nonzero) { sums_.assign(0, sum, nonzero); }

 private:
  CountedSums<1> sums_;
};

class PairedWindowSum {
 public:
  explicit PairedWindowSum(std::size_t n) : pairs_(n) {}

  // The oldest pair leaves a full window (its terms subtracted) before (a, b)
  // enters (its terms added). Inlined into the owner's step, where the pair
  // is still in registers.
  [[gnu::always_inline]] void push(double a, double b) {
    if (pairs_.full()) {
      const Pair old = pairs_.oldest();
      sums_.remove({old.a, old.b});
    }
    pairs_.push(Pair{a, b});
    sums_.add({a, b});
  }
  bool full() const { return pairs_.full(); }
  std::size_t capacity() const { return pairs_.capacity(); }
  double first_sum() const { return sums_.value(0); }
  double second_sum() const { return sums_.value(1); }

 private:
  struct Pair {
    double a;
    double b;
  };
  Ring<Pair> pairs_;
  CountedSums<2> sums_;
};

}  // namespace vsci
