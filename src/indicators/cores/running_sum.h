// RunningSum: the one counted window sum. It is kept by adding what enters and
// subtracting what leaves, in whichever order the owning kind writes, and it
// becomes exactly +0.0 the moment the last non-zero term leaves, before any
// later term is added, so rounding residue never stands in for an empty sum
// (a flat window then gives its promised fallback). PairedWindowSum: the
// last n pairs of numbers with such a sum of each component.
// Single-threaded use.
#pragma once

#include <cstddef>

#include "indicators/cores/ring.h"

namespace vsci {

class RunningSum {
 public:
  void add(double x) {
    sum_ = sum_ + x;
    if (x != 0.0) ++nonzero_;
  }
  // x must be a term added earlier and still counted.
  void remove(double x) {
    sum_ = sum_ - x;
    if (x != 0.0 && --nonzero_ == 0) sum_ = 0.0;
  }
  double value() const { return sum_; }
  std::size_t nonzero() const { return nonzero_; }
  // The same terms re-summed exactly.
  void replace(double exact) { sum_ = exact; }
  // Terms that entered or left in bulk: the caller rounds their sum itself
  // (an exact re-summing, or a run of one repeated term) and says how many
  // non-zero terms are now counted.
  void assign(double sum, std::size_t nonzero) {
    sum_ = sum;
    nonzero_ = nonzero;
  }

 private:
  double sum_ = 0.0;
  std::size_t nonzero_ = 0;
};

class PairedWindowSum {
 public:
  explicit PairedWindowSum(std::size_t n) : pairs_(n) {}

  // The oldest pair leaves a full window (its terms subtracted) before (a, b)
  // enters (its terms added).
  void push(double a, double b) {
    if (pairs_.full()) {
      first_.remove(pairs_.oldest().a);
      second_.remove(pairs_.oldest().b);
    }
    pairs_.push(Pair{a, b});
    first_.add(a);
    second_.add(b);
  }
  bool full() const { return pairs_.full(); }
  std::size_t capacity() const { return pairs_.capacity(); }
  double first_sum() const { return first_.value(); }
  double second_sum() const { return second_.value(); }

 private:
  struct Pair {
    double a;
    double b;
  };
  Ring<Pair> pairs_;
  RunningSum first_;
  RunningSum second_;
};

}  // namespace vsci
