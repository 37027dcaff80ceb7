// The Hilbert kinds only read the shared cores' state and turn it into their
// value, so a kind never re-runs the transform another kind already has.
#include "indicators/hilbert.h"

#include <algorithm>
#include <cmath>

#include "util/math_constants.h"

namespace vsci {

std::optional<double> AdaptiveCycle::update_value(double x) {
  const auto sp = core_.update_value(x);
  if (!sp) return std::nullopt;
  return std::clamp(std::round(*sp * 0.5), 3.0, 25.0);
}

std::optional<double> SineWave::update_value(double x) {
  const auto phase = core_.update_value(x);
  if (!phase) return std::nullopt;
  return std::sin(*phase * 0.017453292519943295);
}

std::optional<double> HtTrendMode::update_value(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  closes50_.insert(x);
  if (tracker_.update(x) != HomodyneStage::Measured) return std::nullopt;
  // The average of the closes is summed before the phase, so that the two
  // chains of additions run side by side rather than one after the other.
  const std::size_t length = tracker_.phase_length();
  const std::span<const double> closes = closes50_.newest_first();
  double sum = 0.0;
  for (std::size_t i = 0; i < length; ++i) sum += closes[i];
  const double avg = sum / static_cast<double>(length);

  const HomodynePipeline& pipeline = tracker_.pipeline();
  const double phase = tracker_.measure_phase().phase;
  const double sp = pipeline.smoothed_period();

  const double sine = std::sin((phase * kPi) / 180.0);
  const double lead = std::sin(((phase + 45.0) * kPi) / 180.0);

  const double trendline = (t3_ + ((4.0 * avg + 3.0 * t1_) + (t2_ + t2_))) / 10.0;
  t3_ = t2_;
  t2_ = t1_;
  t1_ = avg;

  double trend = 1.0;
  if ((sine > lead && prev_sine_ <= prev_lead_) || (sine < lead && prev_sine_ >= prev_lead_)) {
    days_in_trend_ = 0.0;
    trend = 0.0;
  }
  days_in_trend_ += 1.0;
  const double phase_step = phase - prev_phase_;
  if (days_in_trend_ < 0.5 * sp || (sp != 0.0 && 241.20000000000002 / sp < phase_step && phase_step < 540.0 / sp)) {
    trend = 0.0;
  }
  if (trendline != 0.0 && std::fabs((pipeline.smooth() - trendline) / trendline) >= 0.015) trend = 1.0;

  prev_phase_ = phase;
  prev_sine_ = sine;
  prev_lead_ = lead;
  if (pipeline.count() < 50) return std::nullopt;
  return trend;
}

Expected<Fama, IndicatorError> Fama::create(double fast_limit, double slow_limit) {
  auto core = MamaCore::create(fast_limit, slow_limit);
  if (!core.ok()) return unexpected(core.error());
  return Fama(core.value());
}


Expected<PhaseAdaptiveMa, IndicatorError> PhaseAdaptiveMa::create(double fast_limit, double slow_limit) {
  auto core = MamaCore::create(fast_limit, slow_limit);
  if (!core.ok()) return unexpected(core.error());
  return PhaseAdaptiveMa(core.value());
}

std::optional<double> PhaseAdaptiveMa::update_value(double x) {
  const std::optional<MamaValue> v = core_.update_value(x);
  if (!v) return std::nullopt;
  outputs_.set({v->mama, v->fama});
  return v->mama;
}

}  // namespace vsci
