// The opening range starts from (-infinity, +infinity) rather than zeros, so
// the low of positive prices is a traded low and not 0. Days come from
// 64-bit floor division of the shifted time, so times before the epoch (and a
// negative offset) fall on the right day; a bar whose day differs from the
// current one starts a new day even when it lies in the past.
#include "indicators/session_levels.h"

#include "indicators/cores/civil_day.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

// x / base - 1, or 0 when base is 0.
double return_on(double x, double base) { return base == 0.0 ? 0.0 : x / base - 1.0; }

}  // namespace

Expected<OpeningStretch, IndicatorError> OpeningStretch::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return OpeningStretch(n);
}

Expected<InitialBalance, IndicatorError> InitialBalance::create(std::uint64_t n) {
  auto stretch = OpeningStretch::create(n);
  if (!stretch.ok()) return unexpected(stretch.error());
  return InitialBalance(stretch.value());
}

std::optional<double> InitialBalance::update_candle(const Candle& c) {
  const TrackedRange& r = stretch_.take(c);
  outputs_.set({r.high, r.low});
  return r.high;
}

Expected<OpeningRange, IndicatorError> OpeningRange::create(std::uint64_t n) {
  auto stretch = OpeningStretch::create(n);
  if (!stretch.ok()) return unexpected(stretch.error());
  return OpeningRange(stretch.value());
}

std::optional<double> OpeningRange::update_candle(const Candle& c) {
  const TrackedRange& r = stretch_.take(c);
  outputs_.set({r.high, r.low, c.close - safe_midpoint(r.high, r.low)});
  return r.high;
}

bool DayClock::new_day(const Candle& c) {
  const std::int64_t day = local_day(c.time, offset_);
  if (day_ == day) return false;
  day_ = day;
  return true;
}

Expected<SessionHighLow, IndicatorError> SessionHighLow::create(std::int32_t offset_minutes) {
  return SessionHighLow(offset_minutes);
}

std::optional<double> SessionHighLow::update_candle(const Candle& c) {
  if (clock_.new_day(c)) day_ = TrackedRange{};
  day_.take(c);
  outputs_.set({day_.high, day_.low});
  return day_.high;
}

Expected<SessionRange, IndicatorError> SessionRange::create(std::int32_t offset_minutes) {
  return SessionRange(offset_minutes);
}

std::optional<double> SessionRange::update_candle(const Candle& c) {
  if (clock_.new_day(c)) sessions_ = {};
  sessions_[static_cast<std::size_t>(local_hour(c.time, clock_.offset()) / 8)].take(c);
  const double asia = sessions_[0].width();
  outputs_.set({asia, sessions_[1].width(), sessions_[2].width()});
  return asia;
}

Expected<OvernightIntradayReturn, IndicatorError> OvernightIntradayReturn::create(std::int32_t offset_minutes) {
  return OvernightIntradayReturn(offset_minutes);
}

std::optional<double> OvernightIntradayReturn::update_candle(const Candle& c) {
  if (clock_.new_day(c)) {
    if (previous_close_) overnight_ = return_on(c.open, *previous_close_);
    day_open_ = c.open;
  }
  previous_close_ = c.close;
  if (!overnight_) return std::nullopt;
  outputs_.set({*overnight_, return_on(c.close, day_open_)});
  return overnight_;
}

}  // namespace vsci
