// A window made of one repeated price has no deviation, whatever residue its
// mean carries: the CCI kinds answer 0 for it rather than +-66.67 from a
// one-ulp error. The ratios fall back to a fixed middle (50) or to their last
// value instead of dividing by a range that vanished.
#include "indicators/range_position.h"

#include <cmath>
#include <limits>

#include "indicators/cores/volume_flow.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

constexpr double kCciScale = 0.015;

// Σ|v - centre| / n over a full ring.
double mean_deviation(const Ring<double>& ring, double centre) {
  const auto [first, second] = ring.runs();
  double sum = 0.0;
  for (double v : first) sum += std::fabs(v - centre);
  for (double v : second) sum += std::fabs(v - centre);
  return sum / static_cast<double>(ring.size());
}

}  // namespace

Expected<Cci, IndicatorError> Cci::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return Cci(static_cast<std::size_t>(n));
}

std::optional<double> Cci::update_candle(const Candle& c) {
  if (prices_.full()) sum_ = sum_ - prices_.oldest();
  const double tp = typical_price(c);
  prices_.push(tp);
  equal_.push(tp);
  sum_ = sum_ + tp;
  if (++since_resum_ == prices_.capacity()) {
    sum_ = sum_oldest_first(prices_);
    since_resum_ = 0;
  }
  if (!prices_.full()) return std::nullopt;
  if (equal_.whole()) return 0.0;
  const double mean = sum_ / static_cast<double>(prices_.size());
  const double md = mean_deviation(prices_, mean);
  if (md == 0.0) return 0.0;
  return (tp - mean) / (md * kCciScale);
}

Expected<StochasticCci, IndicatorError> StochasticCci::create(std::uint64_t n) {
  auto cci = Cci::create(n);
  if (!cci.ok()) return unexpected(cci.error());
  return StochasticCci(std::move(cci).value(), static_cast<std::size_t>(n));
}

std::optional<double> StochasticCci::update_candle(const Candle& c) {
  const auto cci = cci_.update_candle(c);
  if (!cci) return std::nullopt;
  values_.push(*cci, *cci);
  if (!values_.full()) return std::nullopt;
  // The extremes of scans from the smallest and largest finite doubles.
  const auto [hi, lo] = values_.fold_from(std::numeric_limits<double>::lowest(), std::numeric_limits<double>::max());
  if (hi - lo == 0.0) return 50.0;
  return 100.0 * (*cci - lo) / (hi - lo);
}

Expected<AdaptiveCci, IndicatorError> AdaptiveCci::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  if (n == 1) return unexpected(IndicatorError::invalid_period("adaptive CCI needs period >= 2"));
  return AdaptiveCci(static_cast<std::size_t>(n));
}

std::optional<double> AdaptiveCci::update_candle(const Candle& c) {
  const double tp = typical_price(c);
  prices_.push(tp);
  equal_.push(tp);
  if (!prices_.full()) return std::nullopt;
  const std::size_t n = prices_.size();
  double path = 0.0;
  for (std::size_t i = 1; i < n; ++i) path += std::fabs(prices_[i] - prices_[i - 1]);
  double sc = 0.004162330905306971;  // (2/31)², the slow constant
  if (path > 0.0) {
    const double er = std::fmin(std::fabs(tp - prices_[0]) / path, 1.0);
    const double root = er * 0.6021505376344085 + 0.06451612903225806;
    sc = root * root;
  }
  if (mean_) {
    mean_ = *mean_ + sc * (tp - *mean_);
  } else if (equal_.whole()) {
    mean_ = tp;  // n copies of one price average to that price exactly
  } else {
    mean_ = sum_oldest_first(prices_) / static_cast<double>(n);
  }
  if (equal_.whole()) return 0.0;
  const double md = mean_deviation(prices_, *mean_);
  if (md > 0.0) return (tp - *mean_) / (md * kCciScale);
  return 0.0;
}

Expected<Smi, IndicatorError> Smi::create(std::uint64_t k, std::uint64_t d1, std::uint64_t d2) {
  if (k == 0 || d1 == 0 || d2 == 0) return unexpected(IndicatorError::period_zero());
  if (d1 > MAX_PERIOD || d2 > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  // The look-back sizes two windows: bounded like every other window.
  if (k > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return Smi(static_cast<std::size_t>(k), d1, d2);
}

std::optional<double> Smi::update_candle(const Candle& c) {
  highs_.push(c.high);
  lows_.push(c.low);
  if (!highs_.full()) return std::nullopt;
  const double hh = highs_.largest();
  const double ll = lows_.smallest();
  const double rel = c.close - safe_midpoint(hh, ll);
  const double range = hh - ll;
  std::optional<double> rel_b;
  std::optional<double> range_b;
  if (const auto a = rel_a_.update_value(rel)) rel_b = rel_b_.update_value(*a);
  if (const auto a = range_a_.update_value(range)) range_b = range_b_.update_value(*a);
  if (!rel_b || !range_b) return std::nullopt;
  if (*range_b > 0.0) last_ = 100.0 * *rel_b / (0.5 * *range_b);
  return last_;
}

Expected<AroonOscillator, IndicatorError> AroonOscillator::create(std::uint64_t n) {
  auto aroon = AroonCore::create(n);
  if (!aroon.ok()) return unexpected(aroon.error());
  return AroonOscillator(std::move(aroon).value());
}

std::optional<double> AroonOscillator::update_candle(const Candle& c) {
  const auto lines = aroon_.update_value(c);
  if (!lines) return std::nullopt;
  return lines->up - lines->down;
}

Expected<ProjectionBandPercent, IndicatorError> ProjectionBandPercent::create(std::uint64_t n) {
  auto bands = ProjectionCore::create(n);
  if (!bands.ok()) return unexpected(bands.error());
  return ProjectionBandPercent(std::move(bands).value());
}

std::optional<double> ProjectionBandPercent::update_candle(const Candle& c) {
  const auto bands = bands_.update_value(c.high, c.low);
  if (!bands) return std::nullopt;
  const double width = bands->upper - bands->lower;
  if (width == 0.0) return 50.0;
  return 100.0 * (c.close - bands->lower) / width;
}

}  // namespace vsci
