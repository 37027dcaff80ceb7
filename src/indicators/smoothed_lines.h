// Smoothed price lines: Alligator (three smoothed averages of the bar
// midpoint), GatorOscillator (the gaps between them) and SmoothedHeikinAshi
// (Heikin-Ashi candles of exponentially averaged prices). Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/mean_seeded_smoother.h"
#include "indicators/indicator.h"
#include "indicators/price_transforms.h"

namespace vsci {

struct AlligatorLines {
  double jaw = 0.0;
  double teeth = 0.0;
  double lips = 0.0;
};

// The three lines of the bar midpoint, each seeded by the mean of its first p
// midpoints and then stepped as (m + value * (p - 1)) / p.
class AlligatorCore {
 public:
  // Any length 0, then any above MAX_PERIOD, in the order jaw, teeth, lips.
  static Expected<AlligatorCore, IndicatorError> create(std::uint64_t jaw, std::uint64_t teeth, std::uint64_t lips);
  // Every line takes the midpoint; the lines once all three are seeded.
  std::optional<AlligatorLines> update(double high, double low);
  std::uint64_t warmup() const;

 private:
  class Line {
   public:
    explicit Line(std::uint64_t p) : p_(p), divisor_(static_cast<double>(p)), weight_(divisor_ - 1.0) {}
    void take(double m);
    bool seeded() const { return seeded_; }
    double value() const { return value_; }
    std::uint64_t period() const { return p_; }

   private:
    std::uint64_t p_;
    double divisor_;
    double weight_;  // p - 1
    double value_ = 0.0;
    double sum_ = 0.0;
    std::uint64_t taken_ = 0;
    bool seeded_ = false;
  };
  AlligatorCore(std::uint64_t jaw, std::uint64_t teeth, std::uint64_t lips) : lines_{Line(jaw), Line(teeth), Line(lips)} {}
  std::array<Line, 3> lines_;
};

class Alligator {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"jaw", "teeth", "lips"};

  static Expected<Alligator, IndicatorError> create(std::uint64_t jaw, std::uint64_t teeth, std::uint64_t lips);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return core_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit Alligator(AlligatorCore core) : core_(core) {}
  AlligatorCore core_;
  OutputList<3> outputs_{kOutputNames};
};

class GatorOscillator {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"upper", "lower"};

  static Expected<GatorOscillator, IndicatorError> create(std::uint64_t jaw, std::uint64_t teeth, std::uint64_t lips);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return core_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit GatorOscillator(AlligatorCore core) : core_(core) {}
  AlligatorCore core_;
  OutputList<2> outputs_{kOutputNames};
};

// The Heikin-Ashi candle of the averaged open, high, low and close.
class SmoothedHeikinAshi {
 public:
  static constexpr std::array<std::string_view, 4> kOutputNames = HeikinAshi::kOutputNames;

  static Expected<SmoothedHeikinAshi, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return open_.period(); }
  std::span<const NamedOutput> outputs() const { return candles_.outputs(); }

 private:
  explicit SmoothedHeikinAshi(std::uint64_t n) : open_(n), high_(n), low_(n), close_(n) {}
  MeanSeededSmoother open_;
  MeanSeededSmoother high_;
  MeanSeededSmoother low_;
  MeanSeededSmoother close_;
  HeikinAshi candles_;
};

}  // namespace vsci
