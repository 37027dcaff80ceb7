// AdxCore: Wilder's directional movement over validated candles, giving
// (+DI, -DI, ADX) from the 2*period-th candle on. Used by the candle kinds of
// the directional-movement family; single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "indicators/cores/growing_storage.h"
#include "indicators/cores/window_checks.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

struct AdxValue {
  double plus_di = 0.0;
  double minus_di = 0.0;
  double adx = 0.0;
};

class AdxCore {
 public:
  static Expected<AdxCore, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return AdxCore(static_cast<std::size_t>(period));
  }

  std::optional<AdxValue> update_value(const Candle& c) {
    if (!has_prev_) {
      prev_ = c;
      has_prev_ = true;
      return std::nullopt;
    }
    const double tr = std::fmax(std::fmax(c.high - c.low, std::fabs(c.high - prev_.close)),
                                std::fabs(c.low - prev_.close));
    const double up = c.high - prev_.high;
    const double down = prev_.low - c.low;
    const double plus = (up > down && up > 0.0) ? up : 0.0;
    const double minus = (down > up && down > 0.0) ? down : 0.0;
    prev_ = c;
    const double n = static_cast<double>(period_);
    if (!smoothing_) {
      sum_tr_ += tr;
      sum_plus_ += plus;
      sum_minus_ += minus;
      if (++seed_count_ < period_) return std::nullopt;
      s_tr_ = sum_tr_;
      s_plus_ = sum_plus_;
      s_minus_ = sum_minus_;
      smoothing_ = true;
    } else {
      s_tr_ = tr + (s_tr_ - s_tr_ / n);
      s_plus_ = plus + (s_plus_ - s_plus_ / n);
      s_minus_ = minus + (s_minus_ - s_minus_ / n);
    }
    const double plus_di = s_tr_ == 0.0 ? 0.0 : 100.0 * s_plus_ / s_tr_;
    const double minus_di = s_tr_ == 0.0 ? 0.0 : 100.0 * s_minus_ / s_tr_;
    const double di_sum = plus_di + minus_di;
    const double dx = di_sum == 0.0 ? 0.0 : std::fabs(plus_di - minus_di) * 100.0 / di_sum;
    if (!adx_) {
      append_within(dx_list_, dx, period_);
      if (dx_list_.size() < period_) return std::nullopt;
      double s = -0.0;
      for (double v : dx_list_) s += v;
      adx_ = s / n;
    } else {
      adx_ = (dx + (n - 1.0) * *adx_) / n;
    }
    return AdxValue{plus_di, minus_di, *adx_};
  }

  std::size_t period() const { return period_; }

 private:
  explicit AdxCore(std::size_t period) : period_(period) { reserve_initial(dx_list_, period); }

  std::size_t period_ = 1;
  Candle prev_{};
  bool has_prev_ = false;
  bool smoothing_ = false;
  double sum_tr_ = 0.0;
  double sum_plus_ = 0.0;
  double sum_minus_ = 0.0;
  std::size_t seed_count_ = 0;
  double s_tr_ = 0.0;
  double s_plus_ = 0.0;
  double s_minus_ = 0.0;
  std::vector<double> dx_list_;
  std::optional<double> adx_;
};

}  // namespace vsci
