// The Hilbert-transform cores: the homodyne dominant-cycle pipeline, the
// period core (smoothed cycle period), the phase core (dominant-cycle phase in
// degrees) and the adaptive-average core (mama, fama), plus the process-wide
// phasor table the phase computation reads. The cores are plain values used
// by one thread at a time; the table is built once, on first use, safely under
// concurrent first users, and is read-only afterwards.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

// ---------------------------------------------------------------------------
// Phasor table: entry L (0..50) holds L pairs (sin a_i, cos a_i) with
// a_i = ((i + i) * pi) / L, i = 0..L-1; entry 0 is empty.

struct Phasor {
  double sin = 0.0;
  double cos = 0.0;
};

inline constexpr std::size_t kMaxPhasorLength = 50;

// Entry `length` of the table (length <= 50). The first call in the process
// builds the whole table; concurrent first callers wait until it is complete.
std::span<const Phasor> phasor_table_entry(std::size_t length);

// p when 1 <= p <= bound, 1 when p = 0, bound when p > bound (bound >= 1).
inline std::size_t clamp_period(std::uint64_t p, std::size_t bound) {
  if (p == 0) return 1;
  return p > bound ? bound : static_cast<std::size_t>(p);
}

// ---------------------------------------------------------------------------
// A bounded history ordered newest first: [0] is the newest entry. Every
// value is written twice, N slots apart, so the N newest always lie side by
// side and a read never wraps.

template <std::size_t N>
class RecentValues {
 public:
  void insert(double x) {
    head_ = head_ == 0 ? N - 1 : head_ - 1;
    buf_[head_] = x;
    buf_[head_ + N] = x;
    if (size_ < N) ++size_;
  }
  double operator[](std::size_t i) const { return buf_[head_ + i]; }
  // The held values, newest first.
  std::span<const double> newest_first() const { return {buf_.data() + head_, size_}; }
  std::size_t size() const { return size_; }
  bool full() const { return size_ == N; }

 private:
  std::array<double, 2 * N> buf_{};
  std::size_t head_ = 0;
  std::size_t size_ = 0;
};

// ---------------------------------------------------------------------------
// The homodyne pipeline: smoothing, detrending, in-phase and quadrature
// components and the dominant-cycle period, with its smoothed value `sp`.

enum class HomodyneStage {
  Priming,   // fewer than four prices: no smoothed price yet
  Smoothed,  // a smoothed price, but the histories are not yet long enough to measure
  Measured,  // the period and the smoothed period were updated by this input
};

class HomodynePipeline {
 public:
  // One accepted (finite) input.
  HomodyneStage update(double x);

  std::uint64_t count() const { return count_; }
  bool smooths_full() const { return smooths_.full(); }
  double smooth() const { return smooths_[0]; }  // this input's smoothed price
  double in_phase() const { return i1s_[0]; }      // I1 of the last measured input
  double quadrature() const { return q1s_[0]; }    // Q1 of the last measured input
  double period() const { return period_; }
  double smoothed_period() const { return sp_; }

 private:
  std::uint64_t count_ = 0;
  RecentValues<4> prices_;
  RecentValues<7> smooths_;
  RecentValues<7> detrenders_;
  RecentValues<7> q1s_;
  RecentValues<7> i1s_;
  double i2_ = 0.0, q2_ = 0.0;
  double re_ = 0.0, im_ = 0.0;
  double period_ = 0.0;
  double sp_ = 0.0;
};

// ---------------------------------------------------------------------------
// The pipeline with the last 50 smoothed prices, which the dominant-cycle
// phase is measured over.

struct PhaseReading {
  double phase = 0.0;   // degrees
  std::size_t length = 1;  // the number of smoothed prices it was measured over
};

class CyclePhaseTracker {
 public:
  HomodyneStage update(double x) {
    const HomodyneStage stage = pipeline_.update(x);
    if (stage != HomodyneStage::Priming) smooth50_.insert(pipeline_.smooth());
    return stage;
  }
  // The phase over the last round(sp) smoothed prices; only after a Measured
  // update.
  PhaseReading measure_phase() const;
  // The number of smoothed prices measure_phase reads.
  std::size_t phase_length() const;

  const HomodynePipeline& pipeline() const { return pipeline_; }

 private:
  HomodynePipeline pipeline_;
  RecentValues<kMaxPhasorLength> smooth50_;
};

// The period core: the smoothed dominant-cycle period, from the 50th accepted
// input on.
class CyclePeriodCore {
 public:
  std::optional<double> update_value(double x);

 private:
  HomodynePipeline pipeline_;
};

// The phase core: the dominant-cycle phase in degrees, from the 50th accepted
// input on.
class CyclePhaseCore {
 public:
  std::optional<double> update_value(double x);

 private:
  CyclePhaseTracker tracker_;
};

// The adaptive-average core: mama follows the close at a speed set by the
// rate of change of the cycle phase, fama follows mama at half that speed.
// Both are given from the 33rd accepted input on.
struct MamaValue {
  double mama = 0.0;
  double fama = 0.0;
};

class MamaCore {
 public:
  // 0 < slow_limit <= fast_limit <= 1, both finite.
  static Expected<MamaCore, IndicatorError> create(double fast_limit, double slow_limit);
  std::optional<MamaValue> update_value(double x);

 private:
  MamaCore(double fast_limit, double slow_limit) : fast_(fast_limit), slow_(slow_limit) {}
  HomodynePipeline pipeline_;
  double fast_ = 0.5;
  double slow_ = 0.05;
  double phase_ = 0.0;
  double mama_ = 0.0;
  double fama_ = 0.0;
};

}  // namespace vsci
