// Volume-shaped candles and the volatility cone, on validated candles:
// CandleVolume (the body) and Equivolume (the range) as boxes whose width is
// the bar's volume over the mean of the last n volumes; VolatilityCone, the
// sample deviation of the last w log returns placed within its own last l
// values. Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/log_return.h"
#include "indicators/cores/shifted_sum_window.h"
#include "indicators/cores/sma.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/indicator.h"

namespace vsci {

// The box's height and the names it publishes under.
struct BodyHeight {
  static constexpr std::array<std::string_view, 2> kNames{"body", "width"};
  static double of(const Candle& c) { return c.close - c.open; }
};
struct RangeHeight {
  static constexpr std::array<std::string_view, 2> kNames{"height", "width"};
  static double of(const Candle& c) { return c.high - c.low; }
};

template <class Height>
class VolumeBox {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames = Height::kNames;

  static Expected<VolumeBox, IndicatorError> create(std::uint64_t n) {
    auto volumes = Sma::create(n);
    if (!volumes.ok()) return unexpected(volumes.error());
    return VolumeBox(std::move(volumes).value());
  }
  std::optional<double> update_candle(const Candle& c) {
    const std::optional<double> mean = volumes_.update_value(c.volume);
    if (!mean) return std::nullopt;
    const double height = Height::of(c);
    outputs_.set({height, *mean > 0.0 ? c.volume / *mean : 0.0});
    return height;
  }
  std::uint64_t warmup() const { return volumes_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit VolumeBox(Sma volumes) : volumes_(std::move(volumes)) {}
  Sma volumes_;
  OutputList<2> outputs_{kOutputNames};
};

using CandleVolume = VolumeBox<BodyHeight>;
using Equivolume = VolumeBox<RangeHeight>;

class VolatilityCone {
 public:
  static constexpr std::array<std::string_view, 5> kOutputNames{"current", "min", "median", "max", "percentile"};

  static Expected<VolatilityCone, IndicatorError> create(std::uint64_t window, std::uint64_t lookback);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return returns_.length() + history_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  VolatilityCone(std::size_t window, SortedWindow history) : returns_(window), history_(std::move(history)) {}
  LogReturnStream closes_;
  ShiftedSumWindow returns_;
  SortedWindow history_;
  std::optional<double> last_;
  OutputList<5> outputs_{kOutputNames};
};

}  // namespace vsci
