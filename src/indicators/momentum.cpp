// The lag kinds share one ring of past closes and differ only in how they
// compare the close with the lagged one.
#include "indicators/momentum.h"

#include <algorithm>

#include "indicators/cores/window_checks.h"

namespace vsci {

Expected<LogReturn, IndicatorError> LogReturn::create(std::uint64_t n) {
  auto lag = Mom::create(n);
  if (!lag.ok()) return unexpected(lag.error());
  return LogReturn(std::move(lag).value());
}

std::optional<double> LogReturn::update_value(double x) {
  if (!(x > 0.0)) return std::nullopt;
  const auto o = lag_.push(x);
  if (!o) return std::nullopt;
  return std::log(x / *o);
}

Expected<WeightedRocSum, IndicatorError> WeightedRocSum::create(std::uint64_t p, std::uint64_t q,
                                                                std::uint64_t w) {
  if (p == 0 || q == 0 || w == 0) return unexpected(IndicatorError::period_zero());
  for (std::uint64_t count : {p, q, w}) {
    if (count > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  }
  return WeightedRocSum(Mom::create(p).value(), Mom::create(q).value(), Wma::create(w).value());
}

std::uint64_t WeightedRocSum::warmup() const { return std::max(first_.lag(), second_.lag()) + wma_.warmup(); }

std::optional<double> WeightedRocSum::update_value(double x) {
  // Both rings take every close; the sum exists once both are full.
  const auto o1 = first_.push(x);
  const auto o2 = second_.push(x);
  if (!o1 || !o2) return std::nullopt;
  return wma_.update_value(RocForm::of(x, *o1) + RocForm::of(x, *o2));
}

Expected<DisparityIndex, IndicatorError> DisparityIndex::create(std::uint64_t n) {
  auto sma = Sma::create(n);
  if (!sma.ok()) return unexpected(sma.error());
  return DisparityIndex(std::move(sma).value());
}

std::optional<double> DisparityIndex::update_value(double x) {
  const auto s = sma_.update_value(x);
  if (!s) return std::nullopt;
  return *s != 0.0 ? (x - *s) * 100.0 / *s : 0.0;
}

Dpo::Dpo(std::size_t n)
    : n_(n), shift_(n / 2 + 1), window_length_(std::max(n / 2 + 2, n)), ring_(window_length_ + 1) {}

Expected<Dpo, IndicatorError> Dpo::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return Dpo(static_cast<std::size_t>(n));
}

std::optional<double> Dpo::update_value(double x) {
  ring_.push(x);
  sum_ += x;
  ++since_resum_;
  if (ring_.size() > n_) sum_ -= ring_.back(n_);
  if (since_resum_ == n_) {
    double s = 0.0;
    for (std::size_t i = n_; i-- > 0;) s += ring_.back(i);
    sum_ = s;
    since_resum_ = 0;
  }
  if (ring_.size() < window_length_) return std::nullopt;
  return ring_.back(shift_) - sum_ / static_cast<double>(n_);
}

}  // namespace vsci
