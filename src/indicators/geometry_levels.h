// Levels drawn from the geometry of recent swings or of a recent range, on
// validated candles: ZigZag (each swing reported once, on the bar that
// confirms it by a reversal of a given fraction), AndrewsPitchfork (a median
// line through the last three fractal pivots with parallels through the two
// newest) and MurreyMathLines (the range of the last n bars in eighths).
// Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/candle_window.h"
#include "indicators/cores/fractal_pivot.h"
#include "indicators/cores/swing_tracker.h"
#include "indicators/indicator.h"

namespace vsci {

class ZigZag {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"swing", "direction"};

  static Expected<ZigZag, IndicatorError> create(double fraction);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit ZigZag(double fraction) : swings_(1, fraction) {}
  SwingTracker swings_;
  OutputList<2> outputs_{kOutputNames};
};

class AndrewsPitchfork {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"median", "upper", "lower"};

  static Expected<AndrewsPitchfork, IndicatorError> create(std::uint64_t strength);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2 * strength_ + 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  struct Pivot {
    double index = 0.0;
    double price = 0.0;
    bool high = false;
  };
  explicit AndrewsPitchfork(std::size_t strength) : bars_(strength), strength_(strength) {}
  void add(const Pivot& p);

  FractalWindow bars_;
  std::size_t strength_;
  std::uint64_t count_ = 0;  // valid bars seen
  std::array<Pivot, 3> pivots_{};
  std::size_t held_ = 0;
  OutputList<3> outputs_{kOutputNames};
};

class MurreyMathLines {
 public:
  static constexpr std::array<std::string_view, 9> kOutputNames{"mm8_8", "mm7_8", "mm6_8", "mm5_8", "mm4_8",
                                                                "mm3_8", "mm2_8", "mm1_8", "mm0_8"};

  static Expected<MurreyMathLines, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit MurreyMathLines(CandleWindow window) : window_(std::move(window)) {}
  CandleWindow window_;
  OutputList<9> outputs_{kOutputNames};
};

}  // namespace vsci
