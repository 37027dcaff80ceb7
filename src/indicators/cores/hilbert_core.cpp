// The Hilbert-transform pipeline is written once here and shared by every kind
// that reads a dominant cycle, so their periods and phases agree to the bit.
#include "indicators/cores/hilbert_core.h"

#include <cassert>
#include <cmath>

#include "market/price_checks.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

constexpr std::size_t kPhasorPairs = kMaxPhasorLength * (kMaxPhasorLength + 1) / 2;

using PhasorTable = std::array<Phasor, kPhasorPairs>;

// Entry L starts after the 0 + 1 + ... + (L - 1) pairs of the entries before it.
constexpr std::size_t phasor_offset(std::size_t length) { return length * (length - 1) / 2; }

PhasorTable build_phasor_table() {
  PhasorTable table{};
  for (std::size_t length = 1; length <= kMaxPhasorLength; ++length) {
    Phasor* entry = table.data() + phasor_offset(length);
    for (std::size_t i = 0; i < length; ++i) {
      const double angle = ((static_cast<double>(i) + static_cast<double>(i)) * kPi) / static_cast<double>(length);
      entry[i] = {std::sin(angle), std::cos(angle)};
    }
  }
  return table;
}

// The weighted Hilbert transform of a newest-first history of seven values,
// whose newest entry v[0] is handed over as `newest`: this bar's value is read
// from its register rather than reloaded from where it was just stored.
inline double hilbert_transform(double newest, const RecentValues<7>& v) {
  return ((0.0962 * newest + 0.5769 * v[2]) - 0.5769 * v[4]) - 0.0962 * v[6];
}

// std::fmax and std::fmin where b is never NaN (the period and the constant
// bounds): the same result, equal operands included, without a call into the
// library on the period's path from one bar to the next.
inline double max_with(double a, double b) { return a > b ? a : b; }
inline double min_with(double a, double b) { return a < b ? a : b; }

// Truncation toward zero that saturates at 0 (NaN and negatives included).
std::uint64_t truncate_to_count(double v) {
  if (!(v >= 1.0)) return 0;
  if (v >= 18446744073709551616.0) return UINT64_MAX;
  return static_cast<std::uint64_t>(v);
}

}  // namespace

std::span<const Phasor> phasor_table_entry(std::size_t length) {
  assert(length <= kMaxPhasorLength);
  // A function-local static is initialised exactly once; threads arriving
  // while it is being built wait for it to complete.
  static const PhasorTable table = build_phasor_table();
  return {table.data() + phasor_offset(length), length};
}

HomodyneStage HomodynePipeline::update(double x) {
  ++count_;
  prices_.insert(x);
  if (!prices_.full()) return HomodyneStage::Priming;

  const double smooth = (prices_[3] + ((4.0 * x + 3.0 * prices_[1]) + (prices_[2] + prices_[2]))) / 10.0;
  smooths_.insert(smooth);
  if (!smooths_.full()) return HomodyneStage::Smoothed;

  const double adj = min_with(max_with(period_, 6.0), 50.0) * 0.075 + 0.54;
  const double detrender = adj * hilbert_transform(smooth, smooths_);
  detrenders_.insert(detrender);
  if (!detrenders_.full()) return HomodyneStage::Smoothed;

  const double q1 = adj * hilbert_transform(detrender, detrenders_);
  const double i1 = detrenders_[3];
  q1s_.insert(q1);
  i1s_.insert(i1);
  if (!q1s_.full() || !i1s_.full()) return HomodyneStage::Smoothed;

  const double ji = adj * hilbert_transform(i1, i1s_);
  const double jq = adj * hilbert_transform(q1, q1s_);
  const double i2 = 0.2 * (i1 - jq) + 0.8 * i2_;
  const double q2 = 0.2 * (q1 + ji) + 0.8 * q2_;
  const double re = 0.2 * (i2 * i2_ + q2 * q2_) + 0.8 * re_;
  const double im = 0.2 * (i2 * q2_ - q2 * i2_) + 0.8 * im_;
  i2_ = i2;
  q2_ = q2;
  re_ = re;
  im_ = im;

  double p = period_;
  if (std::fabs(im) > EPS && std::fabs(re) > EPS) p = kTwoPi / std::atan2(im, re);
  p = min_with(p, 1.5 * period_);
  p = max_with(p, 0.67 * period_);
  if (p < 6.0) p = 6.0;
  if (p > 50.0) p = 50.0;
  period_ = 0.8 * period_ + 0.2 * p;
  sp_ = 0.67 * sp_ + 0.33 * period_;
  return HomodyneStage::Measured;
}

std::size_t CyclePhaseTracker::phase_length() const {
  return clamp_period(truncate_to_count(pipeline_.smoothed_period() + 0.5), smooth50_.size());
}

PhaseReading CyclePhaseTracker::measure_phase() const {
  const double sp = pipeline_.smoothed_period();
  const std::size_t n = phase_length();
  const std::span<const Phasor> phasors = phasor_table_entry(n);
  const std::span<const double> smooths = smooth50_.newest_first();
  double real = 0.0, imag = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    real += phasors[i].sin * smooths[i];
    imag += phasors[i].cos * smooths[i];
  }
  double phase;
  if (std::fabs(imag) > 0.001) {
    phase = std::atan(real / imag) * kDegreesPerRadian + 90.0;
  } else {
    phase = real < 0.0 ? 0.0 : 180.0;
  }
  phase = 360.0 / sp + phase;
  if (imag < 0.0) phase += 180.0;
  if (phase > 315.0) phase -= 360.0;
  return {phase, n};
}

std::optional<double> CyclePeriodCore::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  pipeline_.update(x);
  if (pipeline_.count() < 50) return std::nullopt;
  return pipeline_.smoothed_period();
}

std::optional<double> CyclePhaseCore::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  tracker_.update(x);
  if (tracker_.pipeline().count() < 50) return std::nullopt;
  return tracker_.measure_phase().phase;
}

Expected<MamaCore, IndicatorError> MamaCore::create(double fast_limit, double slow_limit) {
  if (!(std::isfinite(fast_limit) && std::isfinite(slow_limit) && 0.0 < slow_limit && slow_limit <= fast_limit &&
        fast_limit <= 1.0)) {
    return unexpected(
        IndicatorError::invalid_period("fast_limit, slow_limit must satisfy 0 < slow_limit <= fast_limit <= 1"));
  }
  return MamaCore(fast_limit, slow_limit);
}

std::optional<MamaValue> MamaCore::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  const HomodyneStage stage = pipeline_.update(x);
  if (stage == HomodyneStage::Priming) return std::nullopt;
  if (!pipeline_.smooths_full()) {
    mama_ = fama_ = pipeline_.smooth();
    return std::nullopt;
  }
  if (stage == HomodyneStage::Measured) {
    const double i1 = pipeline_.in_phase();
    const double phase =
        std::fabs(i1) > EPS ? std::atan(pipeline_.quadrature() / i1) * kDegreesPerRadian : phase_;
    double delta = phase_ - phase;
    if (delta < 1.0) delta = 1.0;
    double alpha = fast_ / delta;
    if (alpha < slow_) alpha = slow_;
    mama_ = x * alpha + mama_ * (1.0 - alpha);
    fama_ = fama_ * (1.0 - alpha * 0.5) + (alpha * 0.5) * mama_;
    phase_ = phase;
  }
  if (pipeline_.count() < 33) return std::nullopt;
  return MamaValue{mama_, fama_};
}

}  // namespace vsci
