// Bit-exact comparison of value series (so -0.0 and +0.0 differ), series with
// NaN and infinite closes slipped in, and the generators the core and average
// tests feed their kinds with.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/series.h"

namespace vsci::testing::exact {

using Values = std::vector<std::optional<double>>;

// Builds the kind by name and feeds it the closes.
inline Values run(const std::string& kind, std::vector<double> params, const std::vector<double>& closes) {
  auto ind = build_ok(kind, std::move(params));
  return feed_closes(*ind, closes);
}

// Values spread over many magnitudes and both signs, so running sums carry
// rounding residue that an exact re-summation visibly removes.
inline std::vector<double> rough_series(std::size_t n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> mant(-1.0, 1.0);
  std::uniform_int_distribution<int> expo(-3, 7);
  std::vector<double> xs(n);
  for (double& x : xs) x = mant(rng) * std::pow(10.0, expo(rng));
  return xs;
}

inline bool same_value(const std::optional<double>& a, const std::optional<double>& b) {
  if (a.has_value() != b.has_value()) return false;
  if (!a) return true;
  if (std::isnan(*a) && std::isnan(*b)) return true;
  return std::bit_cast<std::uint64_t>(*a) == std::bit_cast<std::uint64_t>(*b);
}

inline std::string show(const std::optional<double>& v) {
  if (!v) return "none";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", *v);
  return buf;
}

// Bit-exact comparison; reports the first differing bar only.
inline ::testing::AssertionResult same_series(const Values& actual, const Values& expected) {
  if (actual.size() != expected.size()) return ::testing::AssertionFailure() << "length differs";
  for (std::size_t i = 0; i < actual.size(); ++i) {
    if (!same_value(actual[i], expected[i])) {
      return ::testing::AssertionFailure() << "bar " << i << ": got " << show(actual[i]) << ", want "
                                           << show(expected[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

// The clean series with NaN and infinite closes slipped in before about one bar
// in eight; gap_of[i] tells whether bar i of `closes` is such a gap, and
// expand() spreads a result series of the clean closes over the gapped bars.
struct Gapped {
  std::vector<double> closes;
  std::vector<bool> gap_of;

  Values expand(const Values& clean) const {
    Values out;
    std::size_t k = 0;
    for (bool g : gap_of) out.push_back(g ? std::nullopt : clean[k++]);
    return out;
  }
};

inline Gapped with_gaps(const std::vector<double>& clean, unsigned seed) {
  const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity()};
  std::mt19937 rng(seed);
  Gapped g;
  for (double x : clean) {
    while (rng() % 8 == 0) {
      g.closes.push_back(bad[rng() % 3]);
      g.gap_of.push_back(true);
    }
    g.closes.push_back(x);
    g.gap_of.push_back(false);
  }
  return g;
}

// Runs a reference over the present values of `in` (what a chained stage is
// fed) and puts each result back at the bar its input came from.
template <class F>
Values over_present(const Values& in, F reference) {
  std::vector<double> present;
  for (const auto& x : in)
    if (x) present.push_back(*x);
  const Values inner = reference(present);
  Values out(in.size());
  std::size_t k = 0;
  for (std::size_t i = 0; i < in.size(); ++i)
    if (in[i]) out[i] = inner[k++];
  return out;
}

}  // namespace vsci::testing::exact
