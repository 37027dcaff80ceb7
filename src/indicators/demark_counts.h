// DeMark bar counts and patterns on validated candles: the setup count, the
// countdown and combo counts that follow a completed setup, wave numbering at
// swing pivots, three bounded oscillators (DeMarker, pressure, range
// expansion) and the rounded top and bottom flags; and the multi-line kinds:
// TdSequential (the counts with the countdown's direction), TdLines and
// TdRiskLevel (levels from runs of closes against the close a look-back
// earlier) and TdMovingAverage (two averages of the bar midpoint). Buy-side
// counts are positive, sell-side counts negative. Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/fractal_pivot.h"
#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/sma.h"
#include "indicators/indicator.h"
#include "util/math_constants.h"

namespace vsci {

// The prices of a bar the counts look back at.
struct TdBar {
  double high = 0.0;
  double low = 0.0;
  double close = 0.0;
};

// Consecutive closes below (buy) or above (sell) the close a fixed number of
// bars earlier, each count capped; an equal close ends both.
class TdSetupCount {
 public:
  explicit TdSetupCount(std::uint64_t cap) : cap_(cap) {}
  void step(double close, double earlier_close);
  std::uint64_t buy() const { return buy_; }
  std::uint64_t sell() const { return sell_; }
  std::uint64_t cap() const { return cap_; }
  // +buy, else -sell, else 0.
  double value() const;

 private:
  std::uint64_t cap_;
  std::uint64_t buy_ = 0;
  std::uint64_t sell_ = 0;
};

// The closes of the last bars and the setup count of each close against the
// close `look_back` bars earlier (look_back at most MAX_PERIOD): what TdSetup,
// TdLines and TdRiskLevel compare.
class TdCloseRun {
 public:
  TdCloseRun(std::uint64_t look_back, std::uint64_t cap)
      : closes_(static_cast<std::size_t>(look_back) + 1), look_back_(look_back), count_(cap) {}
  // False while the first look_back closes only fill the window.
  bool step(double close);
  const TdSetupCount& count() const { return count_; }
  std::uint64_t look_back() const { return look_back_; }

 private:
  Ring<double> closes_;
  std::uint64_t look_back_;
  TdSetupCount count_;
};

class TdSetup {
 public:
  static Expected<TdSetup, IndicatorError> create(std::uint64_t look_back, std::uint64_t cap);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return run_.look_back() + 1; }

 private:
  TdSetup(std::uint64_t look_back, std::uint64_t cap) : run_(look_back, cap) {}
  TdCloseRun run_;
};

enum class TdPhase : unsigned char { None, Buy, Sell };

// What TdCountdown and TdCombo share: the window of earlier bars, the setup
// count, the side whose count runs (set by a completed setup) and the two
// counts.
class TdPhasedCount {
 public:
  // Any count 0 is refused; the two look-backs size the window and are bounded.
  static Expected<TdPhasedCount, IndicatorError> create(std::uint64_t setup_look_back, std::uint64_t setup_length,
                                                        std::uint64_t count_look_back, std::uint64_t target);
  // Enough earlier bars are held for the counts to run.
  bool ready() const { return bars_.size() >= window_ - 1; }
  // The setup count for this bar's close, then the phase it completes. True
  // when the phase changed (both counts are then 0).
  bool advance_setup(double close);
  // The bar k >= 1 bars before the current one (before push).
  const TdBar& earlier(std::uint64_t k) const { return bars_.back(static_cast<std::size_t>(k - 1)); }
  void push(const Candle& c) { bars_.push(TdBar{c.high, c.low, c.close}); }

  TdPhase phase() const { return phase_; }
  std::uint64_t count_look_back() const { return count_look_back_; }
  std::uint64_t target() const { return target_; }
  // The running count of the phase's side (none outside a phase).
  std::uint64_t* phase_count();
  // +buy count in the buy phase, -sell count in the sell phase, else 0.
  double count_value() const;
  double setup_value() const { return setup_.value(); }
  // +1 buy, -1 sell, 0 none.
  double direction() const;
  std::uint64_t warmup() const { return window_; }

 private:
  TdPhasedCount(std::uint64_t setup_look_back, std::uint64_t setup_length, std::uint64_t count_look_back,
                std::uint64_t target, std::uint64_t window)
      : bars_(static_cast<std::size_t>(window)),
        window_(window),
        setup_look_back_(setup_look_back),
        count_look_back_(count_look_back),
        target_(target),
        setup_(setup_length) {}

  Ring<TdBar> bars_;
  std::uint64_t window_;  // max of the look-backs + 1
  std::uint64_t setup_look_back_;
  std::uint64_t count_look_back_;
  std::uint64_t target_;
  TdSetupCount setup_;
  TdPhase phase_ = TdPhase::None;
  std::uint64_t buy_count_ = 0;
  std::uint64_t sell_count_ = 0;
};

// After a completed setup, bars closing at or beyond the extreme of the bar B
// earlier, up to the target; the final bar must also reach the close of the
// bar counted at target - 5.
class TdCountdown {
 public:
  static Expected<TdCountdown, IndicatorError> create(std::uint64_t setup_look_back, std::uint64_t setup_length,
                                                      std::uint64_t count_look_back, std::uint64_t target);
  // The signed countdown count.
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return count_.warmup(); }
  // Of the last bar that gave a value.
  double setup_value() const { return count_.setup_value(); }
  double direction() const { return count_.direction(); }

 private:
  explicit TdCountdown(TdPhasedCount count) : count_(std::move(count)) {}
  TdPhasedCount count_;
  double reference_close_ = std::numeric_limits<double>::quiet_NaN();  // NaN while unset
};

// The countdown's stricter sibling: each counted bar must also close beyond
// the previous close and reach beyond the previous bar's extreme.
class TdCombo {
 public:
  static Expected<TdCombo, IndicatorError> create(std::uint64_t setup_look_back, std::uint64_t setup_length,
                                                  std::uint64_t count_look_back, std::uint64_t target);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return count_.warmup(); }

 private:
  explicit TdCombo(TdPhasedCount count) : count_(std::move(count)) {}
  TdPhasedCount count_;
};

// Wave number 1 to 8, advanced at each pivot of the other kind than the last.
class TdDWave {
 public:
  static Expected<TdDWave, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2 * n_ + 1; }

 private:
  explicit TdDWave(std::size_t n) : bars_(n), n_(n) {}
  FractalWindow bars_;
  std::size_t n_;
  unsigned wave_ = 0;
  FractalPivot last_ = FractalPivot::None;
  std::optional<double> value_;
};

// Mean upward push of the highs over the mean pushes both ways, 0 to 1.
class TdDeMarker {
 public:
  static Expected<TdDeMarker, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return moves_.capacity() + 1; }

 private:
  struct Move {
    double up;
    double down;
  };
  explicit TdDeMarker(std::size_t n) : moves_(n) {}
  Ring<Move> moves_;
  std::optional<TdBar> prev_;
};

// Mean volume-weighted body-to-range over mean volume, in percent.
class TdPressure {
 public:
  static Expected<TdPressure, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return bars_.capacity(); }

 private:
  struct Flow {
    double pressure;
    double volume;
  };
  explicit TdPressure(std::size_t n) : bars_(n) {}
  Ring<Flow> bars_;
};

// Range expansion against two bars back, counted only where the ranges
// overlap; -100 to 100.
class TdRei {
 public:
  static Expected<TdRei, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return terms_.capacity() + 8; }

 private:
  struct Term {
    double signed_term;
    double abs_term;
  };
  explicit TdRei(std::size_t n) : bars_(8), terms_(n) {}
  Ring<TdBar> bars_;  // the 8 bars before the current one
  Ring<Term> terms_;
};

// DumplingTop (-1) and FryPanBottom (+1): the window's extreme close made in
// its middle half, and the close back beyond the window's first close.
class RoundedTurn {
 public:
  enum class Shape : unsigned char { Top, Bottom };
  // n below 5 is refused with `too_short`, then the MAX_PERIOD bound.
  static Expected<RoundedTurn, IndicatorError> create(std::uint64_t n, Shape shape, std::string_view too_short);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return closes_.capacity(); }

 private:
  RoundedTurn(std::size_t n, Shape shape) : closes_(n), extreme_(n), side_(shape == Shape::Top ? 1.0 : -1.0) {}
  Ring<double> closes_;
  OldestLargest extreme_;  // of the turned closes: the first of equal ones
  double side_;  // +1 top, -1 bottom: a bottom is a top of the negated closes
};

// The setup count, the countdown and the direction of the active countdown,
// published together: TdCountdown with its setup and direction as outputs.
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

// The highest high of the latest down run that lasted the run length
// (resistance) and the lowest low of the latest such up run (support).
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
  double run_high_ = -kInf;  // of the current down run
  double run_low_ = kInf;    // of the current up run
  TdLevel resistance_;
  TdLevel support_;
  OutputList<2> outputs_{kOutputNames};
};

// The lowest low of the latest long enough down run less that bar's true
// range (buy risk), and the mirror for up runs (sell risk).
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

// Simple averages of the bar midpoint over a short and a longer period.
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
