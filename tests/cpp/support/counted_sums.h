// Window sums written from the counting rule (the window is scanned for a
// non-zero term, not counted), and moves and closes with stretches of zeros
// between them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <deque>
#include <random>
#include <vector>

namespace vsci::testing {

struct WindowSumRule {
  bool new_first = false;       // the new term is added before the oldest leaves
  bool counted = true;          // +0.0 as soon as the window holds no non-zero term
  std::size_t resum_every = 0;  // pushes between exact re-summings; 0: never
  double resum_start = -0.0;    // the zero a re-summing starts from
};

// The sum after each push of terms[i] into a window of n terms.
inline std::vector<double> window_sums(const std::vector<double>& terms, std::size_t n, WindowSumRule rule = {}) {
  std::deque<double> held;
  double s = 0.0;
  std::size_t pushes = 0;
  const auto leave = [&] {
    s = s - held.front();
    held.pop_front();
    if (rule.counted && std::none_of(held.begin(), held.end(), [](double v) { return v != 0.0; })) s = 0.0;
  };
  std::vector<double> out;
  for (double x : terms) {
    if (!rule.new_first && held.size() == n) leave();
    s = s + x;
    held.push_back(x);
    if (rule.new_first && held.size() > n) leave();
    if (rule.resum_every != 0 && ++pushes == rule.resum_every) {
      s = rule.resum_start;
      for (double v : held) s = s + v;
      pushes = 0;
    }
    out.push_back(s);
  }
  return out;
}

// Five random non-zero moves, then zeros, the stretch lengths taken in turn.
inline std::vector<double> moves_with_zero_stretches(std::size_t n, const std::vector<std::size_t>& stretches,
                                                     unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> size(0.05, 1.0);
  std::vector<double> moves;
  for (std::size_t k = 0; moves.size() < n; ++k) {
    for (int i = 0; i < 5; ++i) moves.push_back((rng() % 2 == 0 ? 1.0 : -1.0) * size(rng));
    moves.insert(moves.end(), stretches[k % stretches.size()], 0.0);
  }
  moves.resize(n);
  return moves;
}

// The stretch lengths of the flat tapes, and the windows counted sums over
// them are checked at: 2 to 5, and one longer than the longest stretch and
// than the stretch before it.
inline const std::vector<std::size_t> kStretches = {1, 2, 3, 4, 6, 7};
inline const std::vector<std::size_t> kStretchWindows = {2, 3, 4, 5, 7, 8};

// Closes from 100 by log moves of moves_with_zero_stretches: they cross
// binades, so running sums of their changes keep residue; flat over the
// zero moves.
inline std::vector<double> closes_with_flat_stretches(std::size_t n, unsigned seed) {
  std::vector<double> closes = {100.0};
  for (double m : moves_with_zero_stretches(n - 1, kStretches, seed)) closes.push_back(closes.back() * std::exp(m));
  return closes;
}

}  // namespace vsci::testing
