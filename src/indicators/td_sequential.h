// The multi-line TD kinds on validated candles: TdSequential (the setup and
// countdown counts with the active countdown's direction), TdLines (the
// extreme of the latest long enough run of closes below, or above, the close
// a look-back earlier), TdRiskLevel (the run's extreme bar widened by its true
// range) and TdMovingAverage (two simple averages of the bar midpoint).
// Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/sma.h"
#include "indicators/demark_counts.h"
#include "indicators/indicator.h"

namespace vsci {

class TdSequential {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"setup", "countdown", "direction"};

  static Expected<TdSequential, IndicatorError> create(std::uint64_t setup_look_back, std::uint64_t setup_length,
                                                       std::uint64_t count_look_back, std::uint64_t target);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return countdown_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit TdSequential(TdCountdown countdown) : countdown_(std::move(countdown)) {}
  TdCountdown countdown_;
  OutputList<3> outputs_{kOutputNames};
};

// A level that stays unset (NaN in the outputs) until a run first sets it.
using TdLevel = std::optional<double>;

class TdLines {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"resistance", "support"};

  static Expected<TdLines, IndicatorError> create(std::uint64_t look_back, std::uint64_t run_length);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return run_.look_back() + 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  TdLines(std::uint64_t look_back, std::uint64_t run_length) : run_(look_back, run_length) {}
  TdCloseRun run_;
  double run_high_ = -std::numeric_limits<double>::infinity();  // of the current down run
  double run_low_ = std::numeric_limits<double>::infinity();    // of the current up run
  TdLevel resistance_;
  TdLevel support_;
  OutputList<2> outputs_{kOutputNames};
};

class TdRiskLevel {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"buy_risk", "sell_risk"};

  static Expected<TdRiskLevel, IndicatorError> create(std::uint64_t look_back, std::uint64_t run_length);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return run_.look_back() + 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  // A run's extreme bar: its extreme price and its true range.
  struct ExtremeBar {
    double price = 0.0;
    double range = 0.0;
  };
  TdRiskLevel(std::uint64_t look_back, std::uint64_t run_length) : run_(look_back, run_length) {}
  TdCloseRun run_;
  std::optional<double> previous_close_;
  std::optional<ExtremeBar> lowest_;   // of the current down run
  std::optional<ExtremeBar> highest_;  // of the current up run
  TdLevel buy_risk_;
  TdLevel sell_risk_;
  OutputList<2> outputs_{kOutputNames};
};

class TdMovingAverage {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"st1", "st2"};

  static Expected<TdMovingAverage, IndicatorError> create(std::uint64_t short_period, std::uint64_t long_period);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return long_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  TdMovingAverage(Sma short_average, Sma long_average)
      : short_(std::move(short_average)), long_(std::move(long_average)) {}
  Sma short_;
  Sma long_;
  OutputList<2> outputs_{kOutputNames};
};

}  // namespace vsci
