// Helpers for driving indicators in tests: feed a close series through the
// public factory and collect what each bar gave.
#pragma once

#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/bar_context.h"
#include "factory/build_indicator.h"

namespace vsci::testing {

inline IndicatorPtr build_ok(const std::string& kind, std::vector<double> params) {
  auto r = build_indicator(kind, params);
  if (!r.ok()) throw std::runtime_error("build failed: " + r.error().to_string());
  return std::move(r).value();
}

inline std::string build_error(const std::string& kind, std::vector<double> params) {
  auto r = build_indicator(kind, params);
  if (r.ok()) return "<built>";
  return r.error().to_string();
}

inline std::vector<std::optional<double>> feed_closes(Indicator& ind, const std::vector<double>& closes) {
  std::vector<std::optional<double>> out;
  out.reserve(closes.size());
  Candle c;
  for (double x : closes) {
    c.open = c.high = c.low = c.close = x;
    c.time += 60000;
    out.push_back(ind.update(BarContext(c)));
  }
  return out;
}

// A seeded random walk around `start`, optionally with drift.
inline std::vector<double> random_walk(std::size_t n, unsigned seed, double start = 100.0, double drift = 0.0) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> step(drift, 1.0);
  std::vector<double> xs;
  xs.reserve(n);
  double x = start;
  for (std::size_t i = 0; i < n; ++i) {
    x += step(rng);
    xs.push_back(x);
  }
  return xs;
}

}  // namespace vsci::testing
