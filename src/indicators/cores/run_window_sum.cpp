// A run of pushes is cut in three: while the window fills, each push adds x
// (add_repeatedly rounds those additions in closed form); the pushes up to
// the last re-summing among them only shape the window that re-summing sees
// (its sum replaces theirs); and each later push subtracts the value it
// pushes out and adds x. Against a run of x, s - x + x moves s only on a
// rounding tie or when x outweighs s, settles on a fixed point in a step or
// two, and stays there.
#include "indicators/cores/run_window_sum.h"

#include <algorithm>

#include "indicators/cores/repeated_sum.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

// Below this many additions a plain loop is quicker than the closed form.
constexpr std::size_t kPlainAdditions = 16;

// sum + v + v + ... (`times` additions, each rounded).
double add_times(double sum, double v, std::size_t times) {
  // A sum that drifted below zero gets back above it in an addition or two.
  while (times > 0 && (times <= kPlainAdditions || !(sum >= 0.0) || !(v >= 0.0 && v < kInf))) {
    sum = sum + v;
    --times;
  }
  return times == 0 ? sum : add_repeatedly(sum, v, times, kInf).sum;
}

// `times` steps of sum - x + x: monotone in the sum, so once a step leaves the
// sum as it was, every later one does too.
double settle(double sum, double x, std::size_t times) {
  for (; times > 0; --times) {
    const double next = (sum - x) + x;
    if (bitwise_equal(next, sum)) break;
    sum = next;
  }
  return sum;
}

}  // namespace

void RunWindowSum::push_repeated(double x, std::uint64_t times) {
  if (times < 2 || !(x > 0.0 && x < kInf)) {
    for (; times > 0; --times) push(x);
    return;
  }
  // While filling nothing leaves: each push adds x. The window re-sums as it
  // becomes full.
  if (!full()) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(times, n_ - held_));
    append(x, count);
    sum_.assign(add_times(sum_.value(), x, count), sum_.nonzero() + count);
    pushes_ += count;
    times -= count;
    if (pushes_ == n_) resum();
  }
  const std::size_t before_resum = n_ - pushes_;
  if (times >= before_resum) {
    const std::uint64_t skipped = before_resum + (times - before_resum) / n_ * n_;
    const auto kept = static_cast<std::size_t>(std::min<std::uint64_t>(skipped, n_));
    const std::size_t left = drop_oldest(kept);
    append(x, kept);
    sum_.assign(sum_.value(), sum_.nonzero() - left + kept);
    resum();
    times -= skipped;
  }
  // The rest all come before the next re-summing.
  while (times > 0) {
    const Run oldest = runs_.front();
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(times, oldest.count));
    times -= count;
    // A run of x pushing out an x is the case to round in closed form; each x
    // that leaves is replaced, so the count of non-zero values never falls to
    // 0 on the way unless the x leaving is the only one.
    if (!bitwise_equal(oldest.value, x) || sum_.nonzero() == 1) {
      for (std::size_t i = 0; i < count; ++i) push(x);
      continue;
    }
    sum_.replace(settle(sum_.value(), x, count));
    drop_oldest(count);
    append(x, count);
    pushes_ += count;
  }
}

std::size_t RunWindowSum::drop_oldest(std::size_t count) {
  held_ -= count;
  std::size_t nonzero = 0;
  while (count > 0) {
    Run& oldest = runs_.front();
    const std::size_t taken = std::min(count, oldest.count);
    if (oldest.value != 0.0) nonzero += taken;
    count -= taken;
    oldest.count -= taken;
    if (oldest.count == 0) runs_.pop_front();
  }
  return nonzero;
}

// The plain sum of the held values, oldest first, from -0.0.
void RunWindowSum::resum() {
  double s = -0.0;
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    const Run& r = runs_[i];
    s = r.count == 1 ? s + r.value : add_times(s, r.value, r.count);
  }
  sum_.replace(s);
  pushes_ = 0;
}

}  // namespace vsci
