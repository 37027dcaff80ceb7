// Stochastic's %K window is not bounded by MAX_PERIOD: its extremes come from
// monotonic queues whose storage grows with the bars actually held, so only
// a window too long for the queues' slot numbers is refused. TtmSqueeze runs
// every stage on every bar and gives a value once all of them are ready.
#include "indicators/stochastic_family.h"

#include <cmath>

#include "indicators/cores/regression_window.h"
#include "indicators/cores/window_checks.h"
#include "market/price_checks.h"

namespace vsci {

// --- Stochastic ---

Expected<Stochastic, IndicatorError> Stochastic::create(std::uint64_t k, std::uint64_t d) {
  if (k == 0 || d == 0) return unexpected(IndicatorError::period_zero());
  auto mean = Sma::create(d);
  if (!mean.ok()) return unexpected(mean.error());
  if (k > kRollingExtremesMaxWindow) return unexpected(IndicatorError::period_too_large());
  return Stochastic(k, std::move(mean).value());
}

std::optional<double> Stochastic::update_candle(const Candle& c) {
  highs_.push(c.high);
  lows_.push(c.low);
  if (!highs_.full()) return std::nullopt;
  const double hh = highs_.largest();
  const double ll = lows_.smallest();
  const double k = hh - ll == 0.0 ? 50.0 : (c.close - ll) * 100.0 / (hh - ll);
  const auto d = d_.update_value(k);
  if (!d) return std::nullopt;
  outputs_.set({k, *d});
  return k;
}

// --- KasePermissionStochastic ---

Expected<KasePermissionStochastic, IndicatorError> KasePermissionStochastic::create(std::uint64_t n,
                                                                                    std::uint64_t m) {
  auto window = CandleWindow::create(n);
  if (!window.ok()) return unexpected(window.error());
  if (auto e = check_period(m)) return unexpected(*e);
  return KasePermissionStochastic(std::move(window).value(), MeanSeededSmoother(m));
}

std::optional<double> KasePermissionStochastic::update_candle(const Candle& c) {
  window_.push(c);
  if (!window_.full()) return std::nullopt;
  const auto [hh, ll] = window_.extremes();
  const double raw = hh > ll ? (c.close - ll) * 100.0 / (hh - ll) : 50.0;
  if (!std::isfinite(raw)) return std::nullopt;
  const auto fast = fast_.update_value(raw);
  if (!fast || !std::isfinite(*fast)) return std::nullopt;
  const auto slow = slow_.update_value(*fast);
  if (!slow) return std::nullopt;
  outputs_.set({*fast, *slow});
  return *fast;
}

// --- TtmSqueeze ---

Expected<TtmSqueeze, IndicatorError> TtmSqueeze::create(std::uint64_t n, double band, double channel) {
  if (auto e = check_min_period(n, 2, "TTM squeeze needs period >= 2 for the momentum regression")) {
    return unexpected(*e);
  }
  if (!(band > 0.0) || !(channel > 0.0)) return unexpected(IndicatorError::non_positive_multiplier());
  return TtmSqueeze(static_cast<std::size_t>(n), band, channel);
}

TtmSqueeze::TtmSqueeze(std::size_t n, double band, double channel)
    : window_(CandleWindow::create(n).value()),
      closes_(n),
      bollinger_(BollingerCore::create(n, band).value()),
      mean_(Sma::create(n).value()),
      atr_(WilderAtr::create(n).value()),
      equal_closes_(n),
      channel_(channel),
      sum_x_(regression_sum_x(n)),
      denominator_(regression_fit_denominator(n)) {}

std::optional<double> TtmSqueeze::update_candle(const Candle& c) {
  window_.push(c);
  closes_.push(c.close);
  equal_closes_.push(c.close);
  const auto bands = bollinger_.update_value(c.close);
  auto mean = mean_.update_value(c.close);
  const auto atr = atr_.update_candle(c);
  if (!atr || !bands || !mean) return std::nullopt;
  // One repeated close: the average lies on it exactly, whatever residue the
  // running sum keeps.
  if (equal_closes_.whole()) mean = c.close;
  const double keltner_upper = *mean + channel_ * *atr;
  const double keltner_lower = *mean - channel_ * *atr;
  const double squeeze = bands->lower >= keltner_lower && !(bands->upper > keltner_upper) ? 1.0 : 0.0;

  const auto [hh, ll] = window_.extremes();
  const double base = safe_midpoint(*mean, safe_midpoint(hh, ll));
  const std::size_t n = window_.period();
  double sy = 0.0;
  double sxy = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double y = closes_[i] - base;
    sy += y;
    sxy += static_cast<double>(i) * y;
  }
  const double nf = static_cast<double>(n);
  const double slope = (nf * sxy - sum_x_ * sy) / denominator_;
  const double intercept = (sy - sum_x_ * slope) / nf;
  const double momentum = intercept + slope * (nf - 1.0);
  outputs_.set({squeeze, momentum});
  return squeeze;
}

}  // namespace vsci
