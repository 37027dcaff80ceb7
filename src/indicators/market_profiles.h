// Window profiles of the last n validated candles: their price range
// (VolumeProfile and TpoProfile share one kind), the point of control and
// value area of their volume-at-price histogram (ValueArea reports the area
// by its outer bin edges, CompositeProfile by its outer bin centres), its
// high- and low-volume nodes, and volume-weighted support and resistance.
// Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/candle_window.h"
#include "indicators/cores/vwma_core.h"
#include "indicators/indicator.h"
#include "indicators/volume_profiles.h"

namespace vsci {

// The lowest low and highest high of the window; the bin count is checked and
// kept but changes nothing.
class WindowRange {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"price_low", "price_high"};

  static Expected<WindowRange, IndicatorError> create(std::uint64_t n, std::uint64_t bins);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit WindowRange(CandleWindow window) : window_(std::move(window)) {}
  CandleWindow window_;
  OutputList<2> outputs_{kOutputNames};
};

// The last n candles laid over the bins of their range on every bar once the
// window is full.
class WindowHistogram {
 public:
  enum class Layout : unsigned char {
    Filling,      // fewer than n candles so far
    SinglePrice,  // no usable bin width: the range is 0, or its width is 0 or not finite
    Binned,
  };

  WindowHistogram(std::size_t n, std::uint64_t bins) : window_(n), bins_(bins) {}
  Layout push(const Candle& c);
  const PriceBins& bins() const { return bins_; }
  std::uint64_t period() const { return window_.capacity(); }

 private:
  Ring<Candle> window_;
  PriceBins bins_;
};

// The point of control and the value area grown around it until it holds the
// given fraction of the window's volume.
class ValueAreaProfile {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"poc", "vah", "val"};
  // How the area's bounds are reported, and which error variant carries the
  // fraction's refusal.
  enum class Bounds : unsigned char { OuterEdges, OuterCentres };

  static Expected<ValueAreaProfile, IndicatorError> create(std::uint64_t n, std::uint64_t bins, double fraction,
                                                           Bounds bounds);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return histogram_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  ValueAreaProfile(std::size_t n, std::uint64_t bins, double fraction, Bounds bounds)
      : histogram_(n, bins), fraction_(fraction), bounds_(bounds) {}
  WindowHistogram histogram_;
  double fraction_;
  Bounds bounds_;
  OutputList<3> outputs_{kOutputNames};
};

// The centres of the bin with the most volume and of the bin with the least
// volume above 0.
class HighLowVolumeNodes {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"hvn", "lvn"};

  static Expected<HighLowVolumeNodes, IndicatorError> create(std::uint64_t n, std::uint64_t bins);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return histogram_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  HighLowVolumeNodes(std::size_t n, std::uint64_t bins) : histogram_(n, bins) {}
  WindowHistogram histogram_;
  OutputList<2> outputs_{kOutputNames};
};

// Support and resistance as the volume-weighted means of the window's lows and
// highs, their plain means while the window holds no volume.
class VolumeWeightedSr {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"support", "resistance"};

  static Expected<VolumeWeightedSr, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return lows_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  VolumeWeightedSr(Vwma lows, Vwma highs) : lows_(std::move(lows)), highs_(std::move(highs)) {}
  Vwma lows_;
  Vwma highs_;
  OutputList<2> outputs_{kOutputNames};
};

}  // namespace vsci
