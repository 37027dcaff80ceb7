// add_repeatedly: one value added to a running sum many times over, each
// addition rounded as a loop of additions would round it, in time that grows
// with the binades the sum passes through rather than with the number of
// additions. A histogram kept as runs of equal bins (volume_profiles.h) sums
// its bins this way and still gets the bin-by-bin result. Pure function.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace vsci {

struct RepeatedSum {
  double sum = 0.0;
  std::uint64_t added = 0;  // additions made
};

// sum + v + v + ..., at most `times` additions, stopping after the first one
// that brings the sum to `stop` or above. sum and v finite and not negative.
//
// Within one binade [2^(e-1), 2^e) the doubles are the multiples of
// u = 2^(e-53) (below the normal range, of the smallest subnormal), so adding
// v to a multiple M of u gives M + d, with d the integer nearest to v / u; a
// tie goes to the even neighbour, which from an even M is a fixed even step.
// Until the sum leaves the binade every addition therefore adds the same d.
inline RepeatedSum add_repeatedly(double sum, double v, std::uint64_t times, double stop) {
  constexpr std::uint64_t kLastMultiple = (std::uint64_t{1} << 53) - 1;
  std::uint64_t added = 0;
  while (added < times) {
    const double next = sum + v;
    ++added;
    const bool unchanged = next == sum;
    sum = next;
    if (sum >= stop) break;
    if (unchanged) {
      added = times;  // every later addition leaves the sum as it is
      break;
    }
    if (!(v < sum)) continue;  // the sum doubles at least until v is below it
    int e = 0;
    std::frexp(sum, &e);
    e = std::max(e, std::numeric_limits<double>::min_exponent);
    const auto m = static_cast<std::uint64_t>(std::ldexp(sum, 53 - e));
    const double x = std::ldexp(v, 53 - e);
    const double whole = std::floor(x);
    const double part = x - whole;
    auto d = static_cast<std::uint64_t>(whole);
    if (part > 0.5) {
      ++d;
    } else if (part == 0.5) {
      if (m % 2 != 0) continue;  // one single addition first lands on an even multiple
      d += d % 2;
    }
    if (d == 0) {
      added = times;
      break;
    }
    std::uint64_t steps = std::min((kLastMultiple - m) / d, times - added);
    if (steps == 0) continue;
    if (std::ldexp(static_cast<double>(m + steps * d), e - 53) >= stop) {
      // The first of these steps that reaches stop, found on the integer grid.
      const double target = std::ldexp(stop, 53 - e);
      auto j = static_cast<std::uint64_t>(std::ceil((target - static_cast<double>(m)) / static_cast<double>(d)));
      j = std::clamp<std::uint64_t>(j, 1, steps);
      while (j > 1 && static_cast<double>(m + (j - 1) * d) >= target) --j;
      while (static_cast<double>(m + j * d) < target) ++j;
      steps = j;
    }
    added += steps;
    sum = std::ldexp(static_cast<double>(m + steps * d), e - 53);
    if (sum >= stop) break;
  }
  return {sum, added};
}

}  // namespace vsci
