// Hilbert-transform kinds: the dominant cycle's period (HilbertCyclePeriod,
// AdaptiveCycle) and phase (HtDcPhase, SineWave), the trend-or-cycle
// classifier HtTrendMode, the phase-adaptive average (PhaseAdaptiveMa with
// both lines, Fama with the following one alone) and the phasor components
// HtPhasor, all built on the cores of cores/hilbert_core.h. Plain values, one
// thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "indicators/cores/hilbert_core.h"
#include "indicators/indicator.h"
#include "util/expected.h"

namespace vsci {

// The smoothed dominant-cycle period, in bars.
class HilbertCyclePeriod {
 public:
  std::optional<double> update_value(double x) { return core_.update_value(x); }
  std::uint64_t warmup() const { return 50; }

 private:
  CyclePeriodCore core_;
};

// Half the dominant-cycle period as a whole number of bars in [3, 25].
class AdaptiveCycle {
 public:
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 50; }

 private:
  CyclePeriodCore core_;
};

// The dominant-cycle phase, in degrees.
class HtDcPhase {
 public:
  std::optional<double> update_value(double x) { return core_.update_value(x); }
  std::uint64_t warmup() const { return 50; }

 private:
  CyclePhaseCore core_;
};

// The sine of the dominant-cycle phase.
class SineWave {
 public:
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 50; }

 private:
  CyclePhaseCore core_;
};

// 1 while the market trends, 0 while it cycles.
class HtTrendMode {
 public:
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 50; }

 private:
  CyclePhaseTracker tracker_;
  RecentValues<50> closes50_;
  double prev_phase_ = 0.0, prev_sine_ = 0.0, prev_lead_ = 0.0;
  double days_in_trend_ = 0.0;
  double t1_ = 0.0, t2_ = 0.0, t3_ = 0.0;  // the last three cycle averages
};

// The following line (fama) of the phase-adaptive average.
class Fama {
 public:
  static Expected<Fama, IndicatorError> create(double fast_limit, double slow_limit);
  std::optional<double> update_value(double x) {
    const auto v = core_.update_value(x);
    if (!v) return std::nullopt;
    return v->fama;
  }
  std::uint64_t warmup() const { return 33; }

 private:
  explicit Fama(MamaCore core) : core_(core) {}
  MamaCore core_;
};

// Both lines of the phase-adaptive average: mama, and fama following it.
class PhaseAdaptiveMa {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"mama", "fama"};

  static Expected<PhaseAdaptiveMa, IndicatorError> create(double fast_limit, double slow_limit);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 33; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit PhaseAdaptiveMa(MamaCore core) : core_(core) {}
  MamaCore core_;
  OutputList<2> outputs_{kOutputNames};
};

// The in-phase and quadrature components of the homodyne pipeline, from the
// 22nd accepted close on; the main value is the in-phase one.
class HtPhasor {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"inphase", "quadrature"};

  std::optional<double> update_value(double x) {
    if (pipeline_.update(x) != HomodyneStage::Measured) return std::nullopt;
    outputs_.set({pipeline_.in_phase(), pipeline_.quadrature()});
    return pipeline_.in_phase();
  }
  std::uint64_t warmup() const { return 22; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  HomodynePipeline pipeline_;
  OutputList<2> outputs_{kOutputNames};
};

}  // namespace vsci
