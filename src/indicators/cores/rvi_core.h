// RviVolatility: the relative volatility index core. The population deviation
// of the last n inputs is split into up and down moves and each is smoothed
// Wilder-style; 100 * U / (U + D), or 50 when nothing moved. Also fed by the
// candle kind Inertia with its own series. Single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "indicators/cores/growing_storage.h"
#include "indicators/cores/shifted_sum_window.h"
#include "indicators/cores/window_checks.h"
#include "util/expected.h"

namespace vsci {

class RviVolatility {
 public:
  static Expected<RviVolatility, IndicatorError> create(std::uint64_t n) {
    if (n == 0) return unexpected(IndicatorError::period_zero());
    if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
    if (n == 1) return unexpected(IndicatorError::invalid_period("RVI period must be >= 2"));
    return RviVolatility(static_cast<std::size_t>(n));
  }

  std::optional<double> update_value(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    window_.push(x);
    if (!window_.full()) {
      previous_ = x;
      return std::nullopt;
    }
    const double sigma = window_.population_stddev();
    const double up = x > previous_ ? sigma : 0.0;
    const double down = x < previous_ ? sigma : 0.0;
    previous_ = x;
    const double len = static_cast<double>(n_);
    if (seeded_) {
      up_avg_ = std::fma(up_avg_, len - 1.0, up) / len;
      down_avg_ = std::fma(down_avg_, len - 1.0, down) / len;
    } else {
      append_within(up_seed_, up, n_);
      append_within(down_seed_, down, n_);
      if (up_seed_.size() < n_) return std::nullopt;
      double su = -0.0;
      double sd = -0.0;
      for (double v : up_seed_) su += v;
      for (double v : down_seed_) sd += v;
      up_avg_ = su / len;
      down_avg_ = sd / len;
      seeded_ = true;
    }
    const double total = up_avg_ + down_avg_;
    last_ = total == 0.0 ? 50.0 : 100.0 * up_avg_ / total;
    return last_;
  }

  std::uint64_t warmup() const { return 2 * static_cast<std::uint64_t>(n_) - 1; }

 private:
  explicit RviVolatility(std::size_t n) : window_(n), n_(n) {
    reserve_initial(up_seed_, n);
    reserve_initial(down_seed_, n);
  }

  ShiftedSumWindow window_;
  std::size_t n_;
  double previous_ = 0.0;
  bool seeded_ = false;
  double up_avg_ = 0.0;
  double down_avg_ = 0.0;
  std::vector<double> up_seed_;
  std::vector<double> down_seed_;
  double last_ = 0.0;
};

}  // namespace vsci
