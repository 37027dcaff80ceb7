// Session kinds on validated candles: the high and low of the first n bars of
// the run (InitialBalance, and OpeningRange with the close's distance from
// their midpoint), and the kinds that split bars into local days by the
// candle time shifted by an offset in minutes: the day's running high and low,
// the ranges of its three eight-hour sessions, and its overnight and intraday
// returns. Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/indicator.h"
#include "util/math_constants.h"

namespace vsci {

// A running high and low, each moved only by a strictly more extreme price.
struct TrackedRange {
  double high = -kInf;
  double low = kInf;

  void take(const Candle& c) {
    if (c.high > high) high = c.high;
    if (c.low < low) low = c.low;
  }
  // high - low, or 0 while nothing was taken.
  double width() const { return high >= low ? high - low : 0.0; }
};

// The range of the first n valid bars of the run, fixed from then on.
class OpeningStretch {
 public:
  static Expected<OpeningStretch, IndicatorError> create(std::uint64_t n);
  const TrackedRange& take(const Candle& c) {
    if (seen_ < n_) {
      range_.take(c);
      ++seen_;
    }
    return range_;
  }

 private:
  explicit OpeningStretch(std::uint64_t n) : n_(n) {}
  std::uint64_t n_;
  std::uint64_t seen_ = 0;
  TrackedRange range_;
};

class InitialBalance {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"high", "low"};

  static Expected<InitialBalance, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit InitialBalance(OpeningStretch stretch) : stretch_(stretch) {}
  OpeningStretch stretch_;
  OutputList<2> outputs_{kOutputNames};
};

class OpeningRange {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"high", "low", "breakout_distance"};

  static Expected<OpeningRange, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit OpeningRange(OpeningStretch stretch) : stretch_(stretch) {}
  OpeningStretch stretch_;
  OutputList<3> outputs_{kOutputNames};
};

// The local day of each bar, and whether it differs from the previous bar's.
class DayClock {
 public:
  explicit DayClock(std::int32_t offset_minutes) : offset_(offset_minutes) {}
  // True when c opens a new day (the first bar included).
  bool new_day(const Candle& c);
  std::int32_t offset() const { return offset_; }

 private:
  std::int32_t offset_;
  std::optional<std::int64_t> day_;
};

class SessionHighLow {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"high", "low"};

  static Expected<SessionHighLow, IndicatorError> create(std::int32_t offset_minutes);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit SessionHighLow(std::int32_t offset_minutes) : clock_(offset_minutes) {}
  DayClock clock_;
  TrackedRange day_;
  OutputList<2> outputs_{kOutputNames};
};

// The ranges of hours 0-7 ("asia"), 8-15 ("eu") and 16-23 ("us") of the day.
class SessionRange {
 public:
  static constexpr std::array<std::string_view, 3> kOutputNames{"asia", "eu", "us"};

  static Expected<SessionRange, IndicatorError> create(std::int32_t offset_minutes);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit SessionRange(std::int32_t offset_minutes) : clock_(offset_minutes) {}
  DayClock clock_;
  std::array<TrackedRange, 3> sessions_{};
  OutputList<3> outputs_{kOutputNames};
};

// The day's open against the previous day's last close, and the close against
// the day's open; nothing during the first day of the run.
class OvernightIntradayReturn {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"overnight", "intraday"};

  static Expected<OvernightIntradayReturn, IndicatorError> create(std::int32_t offset_minutes);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit OvernightIntradayReturn(std::int32_t offset_minutes) : clock_(offset_minutes) {}
  DayClock clock_;
  std::optional<double> previous_close_;
  std::optional<double> overnight_;
  double day_open_ = 0.0;
  OutputList<2> outputs_{kOutputNames};
};

}  // namespace vsci
