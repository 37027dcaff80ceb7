// The composite averages are built from the Sma, Ema and Wma cores stage by
// stage, so a stage equals the plain kind of the same length to the bit.
#include "indicators/moving_averages.h"

#include <cmath>
#include <numbers>

#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

// period / 2, but 1 below 2.
std::uint64_t half_length(std::uint64_t period) { return period < 2 ? 1 : period / 2; }

// sqrt(period) rounded half away from zero, at least 1. period is already
// bounded, so the conversion back is exact and in range.
std::uint64_t root_length(std::uint64_t period) {
  const auto r = static_cast<std::uint64_t>(std::round(std::sqrt(static_cast<double>(period))));
  return r < 1 ? 1 : r;
}

// The stages below are built only after their length passed its checks.
Ema stage(std::uint64_t period) { return Ema::create(period).value(); }

// sum from `start`, oldest close first, of close_i * w_i.
double weighted_window_sum(const Ring<double>& window, const std::vector<double>& weights, double start) {
  const auto [older, newer] = window.runs();
  const double* w = weights.data();
  double s = start;
  for (double v : older) s += v * *w++;
  for (double v : newer) s += v * *w++;
  return s;
}

// The unnormalised weight of position i (0 = oldest) of a Gaussian window
// centred on m with spread s.
double gaussian_weight(std::size_t i, double m, double s) {
  const double d = static_cast<double>(i) - m;
  return std::exp(-(d * d) / (s * (s + s)));
}

bool is_volume_factor(double v) { return std::isfinite(v) && v >= 0.0 && v <= 1.0; }

}  // namespace

template <class Stage>
Expected<HullShape<Stage>, IndicatorError> HullShape<Stage>::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  const std::uint64_t root = root_length(period);
  auto a = Stage::create(half_length(period));
  auto b = Stage::create(period);
  auto c = Stage::create(root);
  if (!c.ok()) return unexpected(c.error());
  return HullShape(std::move(a).value(), std::move(b).value(), std::move(c).value(), period + root - 1);
}

template class HullShape<Wma>;
template class HullShape<Ema>;

Expected<Trima, IndicatorError> Trima::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return Trima(Sma::create(period - period / 2).value(), Sma::create(period / 2 + 1).value(), period);
}

std::optional<double> Trima::update_value(double x) {
  const auto first = first_.update_value(x);
  if (!first) return std::nullopt;
  return second_.update_value(*first);
}

Expected<TwoStageEma, IndicatorError> TwoStageEma::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return TwoStageEma(stage(period), period);
}

std::optional<double> TwoStageEma::update_value(double x) {
  if (!chain_.feed(x)) return std::nullopt;
  const double e1 = chain_.value(0);
  return (e1 + e1) - chain_.value(1);
}

Expected<ThreeStageEma, IndicatorError> ThreeStageEma::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return ThreeStageEma(stage(period), period);
}

std::optional<double> ThreeStageEma::update_value(double x) {
  if (!chain_.feed(x)) return std::nullopt;
  return ((chain_.value(0) * 3.0) - (chain_.value(1) * 3.0)) + chain_.value(2);
}

Expected<GeneralizedDema, IndicatorError> GeneralizedDema::create(std::uint64_t period, double v) {
  if (auto e = check_period(period)) return unexpected(*e);
  if (!is_volume_factor(v)) {
    return unexpected(IndicatorError::invalid_period("GD volume factor must be a finite value in [0.0, 1.0]"));
  }
  return GeneralizedDema(stage(period), period, v);
}

std::optional<double> GeneralizedDema::update_value(double x) {
  if (!chain_.feed(x)) return std::nullopt;
  const double lead = chain_.value(0) * (v_ + 1.0);
  const double lagging = chain_.value(1) * v_;
  return lead - lagging;
}

T3::T3(const Ema& stage, std::uint64_t period, double v) : chain_(stage), period_(period) {
  const double v2 = v * v;
  const double c = v * v2;
  c1_ = -c;
  c2_ = v2 * 3.0 + c * 3.0;
  c3_ = (v2 * -6.0 - v * 3.0) - c * 3.0;
  c4_ = v2 * 3.0 + ((1.0 + v * 3.0) + c);
}

Expected<T3, IndicatorError> T3::create(std::uint64_t period, double v) {
  if (auto e = check_period(period)) return unexpected(*e);
  if (!is_volume_factor(v)) {
    return unexpected(IndicatorError::invalid_period("T3 volume factor must be a finite value in [0.0, 1.0]"));
  }
  return T3(stage(period), period, v);
}

std::optional<double> T3::update_value(double x) {
  if (!chain_.feed(x)) return std::nullopt;
  return ((chain_.value(5) * c1_ + chain_.value(4) * c2_) + chain_.value(3) * c3_) + chain_.value(2) * c4_;
}

void SineWeightedMa::table_weights() {
  const std::size_t period = window_.capacity();
  const double denom = static_cast<double>(period) + 1.0;
  weights_.resize(period);
  for (std::size_t i = 0; i < period; ++i) {
    weights_[i] = std::sin(((static_cast<double>(i) + 1.0) * std::numbers::pi) / denom);
    weight_sum_ += weights_[i];
  }
}

Expected<SineWeightedMa, IndicatorError> SineWeightedMa::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return SineWeightedMa(static_cast<std::size_t>(period));
}

std::optional<double> SineWeightedMa::update_value(double x) {
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  if (weights_.empty()) table_weights();
  return weighted_window_sum(window_, weights_, -0.0) / weight_sum_;
}

Expected<GaussianWeightedMa, IndicatorError> GaussianWeightedMa::create(std::uint64_t period, double offset,
                                                                        double sigma) {
  constexpr std::string_view kSigma = "ALMA sigma must be a finite positive value";
  if (auto e = check_period(period)) return unexpected(*e);
  if (!std::isfinite(offset) || offset < 0.0 || offset > 1.0) {
    return unexpected(IndicatorError::invalid_period("ALMA offset must be a finite value in [0, 1]"));
  }
  if (!std::isfinite(sigma) || !(sigma > 0.0)) return unexpected(IndicatorError::invalid_period(kSigma));
  const double n = static_cast<double>(period);
  const double m = offset * (n - 1.0);
  const double s = n / sigma;
  // A sigma so large that every weight underflows leaves nothing to normalise
  // by (0, or NaN from 0/0 at the centre): the average would be NaN forever.
  // The largest weight sits at a position next to the centre, and only the
  // centre itself can give NaN, so those one or two weights decide what the
  // sum of all of them would, at a cost that does not grow with the period.
  const double near_low = gaussian_weight(static_cast<std::size_t>(std::floor(m)), m, s);
  const double near_high = gaussian_weight(static_cast<std::size_t>(std::ceil(m)), m, s);
  if (std::isnan(near_low) || std::isnan(near_high) || !(near_low > 0.0 || near_high > 0.0)) {
    return unexpected(IndicatorError::invalid_period(kSigma));
  }
  return GaussianWeightedMa(static_cast<std::size_t>(period), m, s);
}

void GaussianWeightedMa::table_weights() {
  weights_.resize(window_.capacity());
  double total = -0.0;
  for (std::size_t i = 0; i < weights_.size(); ++i) total += gaussian_weight(i, centre_, spread_);
  for (std::size_t i = 0; i < weights_.size(); ++i) weights_[i] = gaussian_weight(i, centre_, spread_) / total;
}

std::optional<double> GaussianWeightedMa::update_value(double x) {
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  if (weights_.empty()) table_weights();
  return weighted_window_sum(window_, weights_, 0.0);
}

Expected<GeometricMa, IndicatorError> GeometricMa::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return GeometricMa(static_cast<std::size_t>(period));
}

std::optional<double> GeometricMa::update_value(double x) {
  if (!(x > 0.0) || !std::isfinite(x)) return std::nullopt;
  const double l = std::log(x);
  if (logs_.full()) sum_ -= logs_.oldest();
  logs_.push(l);
  sum_ = l + sum_;
  if (++since_resum_ == logs_.capacity()) {
    const auto [older, newer] = logs_.runs();
    double s = -0.0;
    for (double v : older) s += v;
    for (double v : newer) s += v;
    sum_ = s;
    since_resum_ = 0;
  }
  if (!logs_.full()) return std::nullopt;
  return std::exp(sum_ / static_cast<double>(logs_.capacity()));
}

Expected<MedianMa, IndicatorError> MedianMa::create(std::uint64_t period) {
  auto window = SortedWindow::create(period);
  if (!window.ok()) return unexpected(window.error());
  return MedianMa(std::move(window).value());
}

std::optional<double> MedianMa::update_value(double x) {
  if (!window_.push(x) || !window_.full()) return std::nullopt;
  return window_.median();
}

Expected<MidPoint, IndicatorError> MidPoint::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return MidPoint(static_cast<std::size_t>(period));
}

std::optional<double> MidPoint::update_value(double x) {
  closes_.push(x, x);
  if (!closes_.full()) return std::nullopt;
  // A NaN-skipping fold from the newest close; of equal closes (+0.0 and
  // -0.0) the high keeps the newer, the low the older, as it always has.
  const auto [hi, lo] = closes_.fold_from(x, x);
  return safe_midpoint(lo, hi);
}

Expected<SeededRecursiveMa, IndicatorError> SeededRecursiveMa::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return SeededRecursiveMa(period);
}

std::optional<double> SeededRecursiveMa::update_value(double x) {
  const double n = static_cast<double>(period_);
  if (seeded_) {
    value_ = (x + value_ * (n - 1.0)) / n;
    return value_;
  }
  sum_ += x;
  if (++seed_count_ < period_) return std::nullopt;
  value_ = sum_ / n;
  seeded_ = true;
  return value_;
}

}  // namespace vsci
