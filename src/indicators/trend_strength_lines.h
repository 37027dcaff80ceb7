// Candle kinds that measure a trend's direction and strength and publish
// their lines as named outputs: Adx, Aroon, VortexIndicator, Rwi and
// ElderRay. Plain values, one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/adx_core.h"
#include "indicators/cores/aroon_core.h"
#include "indicators/cores/mean_seeded_smoother.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/running_sum.h"
#include "indicators/indicator.h"

namespace vsci {

// Wilder's directional indicators and their average; the main value is +DI.
class Adx {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"plus_di", "minus_di", "adx"};
  static Expected<Adx, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2 * core_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit Adx(AdxCore core) : core_(std::move(core)) {}
  AdxCore core_;
  OutputList<3> outputs_{kOutputNames};
};

class Aroon {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"up", "down"};
  static Expected<Aroon, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return core_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit Aroon(AroonCore core) : core_(std::move(core)) {}
  AroonCore core_;
  OutputList<2> outputs_{kOutputNames};
};

// Summed vortex movements over the summed true range of the last n bars.
class VortexIndicator {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"plus", "minus"};
  static Expected<VortexIndicator, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return moves_.capacity() + 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  struct Move {
    double plus;
    double minus;
    double range;
  };
  explicit VortexIndicator(std::size_t n) : moves_(n) {}
  std::optional<Candle> previous_;
  Ring<Move> moves_;
  // Running sums that return to exactly 0 when no non-zero term is left, so
  // flat bars after volatile ones give the promised 0 rather than residue.
  RunningSum plus_;
  RunningSum minus_;
  RunningSum range_;
  OutputList<2> outputs_{kOutputNames};
};

// Random walk index: the best range of any span of 2 .. n bars against the
// range a random walk would make over it.
class Rwi {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"high", "low"};
  static Expected<Rwi, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return candles_.capacity(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit Rwi(std::size_t n) : candles_(n), ranges_(n - 1) {}
  Ring<Candle> candles_;
  Ring<double> ranges_;  // true ranges of the held candles after the oldest
  OutputList<2> outputs_{kOutputNames};
};

// High and low against an exponential average of the close.
class ElderRay {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"bull_power", "bear_power"};
  static Expected<ElderRay, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return ema_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit ElderRay(MeanSeededSmoother ema) : ema_(ema) {}
  MeanSeededSmoother ema_;
  OutputList<2> outputs_{kOutputNames};
};

}  // namespace vsci
