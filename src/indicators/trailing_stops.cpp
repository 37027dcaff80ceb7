// A stop flips only when the close crosses it strictly: a close that merely
// touches the stop keeps the side, and the new side's stop is placed from the
// same bar's prices rather than carried over. Ratcheting maxima and minima
// use fmax/fmin so that a NaN level never replaces a stop.
#include "indicators/trailing_stops.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/window_checks.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

// The stop-and-reverse step of the kinds whose stop tightens towards a level
// of the bar: the long stop never falls below long_level's past values, the
// short one never rises; a strict crossing flips to the other level. The
// first value takes the side `first_trend`.
void trail_levels(StopSide& s, double close, double long_level, double short_level, double first_trend) {
  if (s.trend == 0.0) {
    s.trend = first_trend;
    s.stop = first_trend > 0.0 ? long_level : short_level;
  } else if (s.trend > 0.0) {
    s.stop = std::fmax(s.stop, long_level);
    if (close < s.stop) s = StopSide{-1.0, short_level};
  } else {
    s.stop = std::fmin(s.stop, short_level);
    if (close > s.stop) s = StopSide{1.0, long_level};
  }
}

// The same for the kinds that trail `distance` behind the extreme price of
// the side (its highest high when long, lowest low when short).
void trail_extreme(StopSide& s, double& extreme, double close, double high, double low, double distance) {
  if (s.trend == 0.0) {
    s = StopSide{1.0, high - distance};
    extreme = high;
  } else if (s.trend > 0.0) {
    extreme = std::fmax(extreme, high);
    s.stop = std::fmax(s.stop, extreme - distance);
    if (close < s.stop) s = StopSide{-1.0, low + distance}, extreme = low;
  } else {
    extreme = std::fmin(extreme, low);
    s.stop = std::fmin(s.stop, extreme + distance);
    if (close > s.stop) s = StopSide{1.0, high - distance}, extreme = high;
  }
}

double publish(OutputList<2>& outputs, const StopSide& s) {
  outputs.set({s.stop, s.trend});
  return s.stop;
}

// Which of +0.0 and -0.0 a zero lowest stop is, as the kind has always
// picked it: the newest zero of the ring's older run if it has one (the run
// before the ring wraps), else the oldest of its newer run.
double zero_lowest(const Ring<double>& ring) {
  const auto [older, newer] = ring.runs();
  for (auto it = older.rbegin(); it != older.rend(); ++it) {
    if (*it == 0.0) return *it;
  }
  for (double v : newer) {
    if (v == 0.0) return v;
  }
  return 0.0;
}

}  // namespace

// --- SuperTrend ---

Expected<SuperTrend, IndicatorError> SuperTrend::create(std::uint64_t n, double m) {
  auto offset = AtrOffset::create(n, m);
  if (!offset.ok()) return unexpected(offset.error());
  return SuperTrend(std::move(offset).value());
}

std::optional<double> SuperTrend::update_candle(const Candle& c) {
  const auto offset = offset_.update_candle(c);
  if (!offset) return std::nullopt;
  const double mid = safe_midpoint(c.high, c.low);
  const double basic_upper = mid + *offset;
  const double basic_lower = mid - *offset;
  Bands b{basic_upper, basic_lower, c.close, 1.0};
  if (previous_) {
    const Bands& p = *previous_;
    if (!(basic_upper < p.upper || p.close > p.upper)) b.upper = p.upper;
    if (!(basic_lower > p.lower || p.close < p.lower)) b.lower = p.lower;
    if (p.direction < 0.0) {
      b.direction = c.close > b.upper ? 1.0 : -1.0;
    } else {
      b.direction = c.close < b.lower ? -1.0 : 1.0;
    }
  }
  previous_ = b;
  const double value = b.direction > 0.0 ? b.lower : b.upper;
  outputs_.set({value, b.direction});
  return value;
}

// --- AtrRatchet ---

Expected<AtrRatchet, IndicatorError> AtrRatchet::create(std::uint64_t n, double k0, double k1) {
  if (!(k0 > 0.0) || !(k1 > 0.0)) return unexpected(IndicatorError::non_positive_multiplier());
  auto atr = FusedWilderAtr::create(n);
  if (!atr.ok()) return unexpected(atr.error());
  return AtrRatchet(std::move(atr).value(), k0, k1);
}

std::optional<double> AtrRatchet::update_candle(const Candle& c) {
  const auto atr = atr_.update_candle(c);
  if (!atr) return std::nullopt;
  if (side_.trend == 0.0) {
    side_ = StopSide{1.0, c.close - *atr * k0_};
  } else if (side_.trend > 0.0) {
    side_.stop = side_.stop + *atr * k1_;
    if (c.close < side_.stop) side_ = StopSide{-1.0, c.close + *atr * k0_};
  } else {
    side_.stop = side_.stop - *atr * k1_;
    if (c.close > side_.stop) side_ = StopSide{1.0, c.close - *atr * k0_};
  }
  return publish(outputs_, side_);
}

// --- ChandelierExit ---

Expected<ChandelierExit, IndicatorError> ChandelierExit::create(std::uint64_t n, double m) {
  auto offset = AtrOffset::create(n, m);
  if (!offset.ok()) return unexpected(offset.error());
  return ChandelierExit(std::move(offset).value(), CandleWindow::create(n).value());
}

std::optional<double> ChandelierExit::update_candle(const Candle& c) {
  const auto d = offset_.update_candle(c);
  window_.push(c);
  if (!window_.full() || !d) return std::nullopt;
  const auto [hh, ll] = window_.extremes();
  const double long_stop = hh - *d;
  outputs_.set({long_stop, ll + *d});
  return long_stop;
}

// --- ChandeKrollStop ---

Expected<ChandeKrollStop, IndicatorError> ChandeKrollStop::create(std::uint64_t p, double x, std::uint64_t q) {
  // The stop period is checked before the ATR period.
  if (!(x > 0.0)) return unexpected(IndicatorError::non_positive_multiplier());
  if (auto e = check_period(q)) return unexpected(*e);
  auto offset = AtrOffset::create(p, x);
  if (!offset.ok()) return unexpected(offset.error());
  return ChandeKrollStop(std::move(offset).value(), CandleWindow::create(p).value(), static_cast<std::size_t>(q));
}

std::optional<double> ChandeKrollStop::update_candle(const Candle& c) {
  const auto d = offset_.update_candle(c);
  window_.push(c);
  if (!window_.full() || !d) return std::nullopt;
  const auto [hh, ll] = window_.extremes();
  const double low_stop = ll + *d;
  stops_.push(hh - *d, low_stop);
  low_stops_.push(low_stop);
  if (!stops_.full()) return std::nullopt;
  // The loosest stops: NaN-skipping folds from -inf and +inf; of equal
  // highest stops the newest.
  auto [stop_short, stop_long] = stops_.fold_from(-kInf, kInf);
  if (stop_long == 0.0) stop_long = zero_lowest(low_stops_);
  outputs_.set({stop_long, stop_short});
  return stop_long;
}

// --- DonchianStop ---

Expected<DonchianStop, IndicatorError> DonchianStop::create(std::uint64_t n) {
  auto window = CandleWindow::create(n);
  if (!window.ok()) return unexpected(window.error());
  return DonchianStop(std::move(window).value());
}

std::optional<double> DonchianStop::update_candle(const Candle& c) {
  window_.push(c);
  if (!window_.full()) return std::nullopt;
  const auto [stop_short, stop_long] = window_.extremes();
  outputs_.set({stop_long, stop_short});
  return stop_long;
}

// --- ElderSafeZone ---

Expected<ElderSafeZone, IndicatorError> ElderSafeZone::create(std::uint64_t n, double k) {
  if (auto e = check_period(n)) return unexpected(*e);
  if (!(k > 0.0)) return unexpected(IndicatorError::non_positive_multiplier());
  return ElderSafeZone(static_cast<std::size_t>(n), k);
}

std::optional<double> ElderSafeZone::update_candle(const Candle& c) {
  if (!previous_) {
    previous_ = c;
    return std::nullopt;
  }
  down_.push(std::max(previous_->low - c.low, 0.0));
  up_.push(std::max(c.high - previous_->high, 0.0));
  previous_ = c;
  if (!down_.full()) return std::nullopt;
  // The averages run over the bars that penetrated, not the whole window; the
  // windows' sums are exactly 0 once no penetration is left in them.
  const auto average = [](const WindowSum& w) {
    return w.nonzero() == 0 ? 0.0 : w.sum() / static_cast<double>(w.nonzero());
  };
  trail_levels(side_, c.close, c.low - average(down_) * k_, c.high + average(up_) * k_, 1.0);
  return publish(outputs_, side_);
}

// --- KaseDevStop ---

Expected<KaseDevStop, IndicatorError> KaseDevStop::create(std::uint64_t n, double k) {
  if (auto e = check_min_period(n, 2, "Kase DevStop period must be >= 2")) return unexpected(*e);
  if (!(k > 0.0)) return unexpected(IndicatorError::non_positive_multiplier());
  return KaseDevStop(static_cast<std::size_t>(n), k);
}

std::optional<double> KaseDevStop::update_candle(const Candle& c) {
  if (!previous_) {
    previous_ = c;
    return std::nullopt;
  }
  const double range = std::max(c.high, previous_->high) - std::min(c.low, previous_->low);
  previous_ = c;
  ranges_.push(range);
  equal_.push(range);
  if (!ranges_.full()) return std::nullopt;
  double mean = range;
  double variance = 0.0;
  // A window of one repeated range has no deviation, whatever residue the
  // re-centred sums keep.
  if (!equal_.whole()) {
    const double n = static_cast<double>(ranges_.length());
    const double m = ranges_.deviation_sum() / n;
    mean = ranges_.mean();
    variance = (ranges_.squared_deviation_sum() - n * (m * m)) / (n - 1.0);
    if (!(variance > 0.0)) variance = 0.0;
  }
  trail_extreme(side_, extreme_, c.close, c.high, c.low, mean + k_ * std::sqrt(variance));
  return publish(outputs_, side_);
}

// --- ModifiedMaStop ---

Expected<ModifiedMaStop, IndicatorError> ModifiedMaStop::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return ModifiedMaStop(n);
}

std::optional<double> ModifiedMaStop::update_candle(const Candle& c) {
  if (average_) {
    average_ = (c.close + *average_ * n_minus_one_) / static_cast<double>(period_);
  } else {
    seed_sum_ += c.close;
    if (++seed_count_ < period_) return std::nullopt;
    average_ = seed_sum_ / static_cast<double>(period_);
  }
  const double a = *average_;
  trail_levels(side_, c.close, a, a, c.close < a ? -1.0 : 1.0);
  return publish(outputs_, side_);
}

// --- Nrtr ---

Expected<Nrtr, IndicatorError> Nrtr::create(double p) {
  if (!(p > 0.0 && p < 100.0)) {
    return unexpected(IndicatorError::invalid_parameter("NRTR percentage must be in (0, 100)"));
  }
  return Nrtr(p);
}

std::optional<double> Nrtr::update_candle(const Candle& c) {
  const double f = percent_ / 100.0;
  const double x = c.close;
  if (side_.trend == 0.0) {
    side_ = StopSide{1.0, (1.0 - f) * x};
    extreme_ = x;
  } else if (side_.trend > 0.0) {
    // The stop follows the extreme itself, without a ratchet of its own.
    extreme_ = std::fmax(extreme_, x);
    side_.stop = (1.0 - f) * extreme_;
    if (x < side_.stop) side_ = StopSide{-1.0, (f + 1.0) * x}, extreme_ = x;
  } else {
    extreme_ = std::fmin(extreme_, x);
    side_.stop = (f + 1.0) * extreme_;
    if (x > side_.stop) side_ = StopSide{1.0, (1.0 - f) * x}, extreme_ = x;
  }
  return publish(outputs_, side_);
}

}  // namespace vsci
