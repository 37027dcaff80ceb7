// AdxCore: the average directional index of validated candles, giving
// (+DI, -DI, ADX) from the 2*period-th candle on; the smoothed moves come from
// DirectionalMovement. Used by Adx and Adxr; single-threaded use.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "indicators/cores/directional_core.h"
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
    const auto s = movement_.update(c);
    if (!s) return std::nullopt;
    const double n = static_cast<double>(period_);
    const double dx = s->dx();
    if (!adx_) {
      append_within(dx_list_, dx, period_);
      if (dx_list_.size() < period_) return std::nullopt;
      double sum = -0.0;
      for (double v : dx_list_) sum += v;
      adx_ = sum / n;
    } else {
      adx_ = (dx + (n - 1.0) * *adx_) / n;
    }
    return AdxValue{s->plus_di(), s->minus_di(), *adx_};
  }

  std::size_t period() const { return period_; }

 private:
  explicit AdxCore(std::size_t period) : period_(period), movement_(period) { reserve_initial(dx_list_, period); }

  std::size_t period_ = 1;
  DirectionalMovement movement_;
  std::vector<double> dx_list_;
  std::optional<double> adx_;
};

}  // namespace vsci
