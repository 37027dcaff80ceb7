// Highest/lowest and median channels, built from order statistics of a window
// rather than from averages: the window's extremes (Donchian), the rolling
// median with bands at a multiple of the median absolute deviation, and the
// latest fractal high and low held until newer ones form. Each returns its
// upper line. Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "indicators/cores/candle_window.h"
#include "indicators/cores/fractal_pivot.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/indicator.h"

namespace vsci {

class Donchian {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"upper", "middle", "lower"};

  static Expected<Donchian, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit Donchian(CandleWindow window) : window_(std::move(window)) {}
  CandleWindow window_;
  OutputList<3> outputs_{kOutputNames};
};

class MedianChannel {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"upper", "middle", "lower"};

  static Expected<MedianChannel, IndicatorError> create(std::uint64_t period, double k);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  MedianChannel(SortedWindow window, double k);
  SortedWindow window_;
  double k_;
  std::vector<double> deviations_;  // scratch, reused every bar
  OutputList<3> outputs_{kOutputNames};
};

// A fractal is a bar whose high (low) is strictly beyond every other high
// (low) of the k bars on each side; there is no middle line.
class FractalChaosBands {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"upper", "lower"};

  static Expected<FractalChaosBands, IndicatorError> create(std::uint64_t k);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2 * k_ + 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit FractalChaosBands(std::uint64_t k) : window_(static_cast<std::size_t>(k)), k_(k) {}
  FractalWindow window_;
  std::uint64_t k_;
  std::optional<double> upper_;
  std::optional<double> lower_;
  OutputList<2> outputs_{kOutputNames};
};

}  // namespace vsci
