// The histogram is kept as runs of equal bins, so its cost follows the
// candles in the window rather than the bin count; the sums over bins (the
// total, the value area's accumulated volume) still add one bin at a time in
// bin order, by add_repeatedly, so they round exactly as a bin-by-bin loop.
// A bin width that is 0 or not finite (an underflowing or overflowing range)
// has no usable bins and takes the single-price results.
#include "indicators/market_profiles.h"

#include <cmath>

#include "indicators/cores/repeated_sum.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

struct Area {
  std::uint64_t poc = 0;
  std::uint64_t first = 0;
  std::uint64_t last = 0;
};

// The area grows from the point of control by the neighbouring bin with more
// volume (the upper one on a tie) while it holds less than fraction of the
// total. Neighbours within one run keep their volumes, so each stretch of
// additions from one run is summed in one go.
Area value_area(const PriceBins& bins, double fraction) {
  const std::size_t runs = bins.runs();
  double total = 0.0;
  for (std::size_t k = 0; k < runs; ++k) {
    total = add_repeatedly(total, bins.run_volume(k), bins.run_start(k + 1) - bins.run_start(k), kInf).sum;
  }
  const double target = total * fraction;
  const std::size_t poc_run = bins.largest_run();
  Area area{bins.run_start(poc_run), bins.run_start(poc_run), bins.run_start(poc_run)};
  double accumulated = bins.run_volume(poc_run);
  std::size_t above = area.last + 1 < bins.run_start(poc_run + 1) ? poc_run : poc_run + 1;  // run of bin last + 1
  std::size_t below = poc_run;  // run of bin first - 1, plus one
  while (accumulated < target) {
    const bool has_above = area.last + 1 < bins.bins();
    const bool has_below = area.first > 0;
    if (!has_above && !has_below) break;
    const bool up = has_above && (!has_below || bins.run_volume(above) >= bins.run_volume(below - 1));
    if (up) {
      const std::uint64_t end = bins.run_start(above + 1);
      const RepeatedSum r = add_repeatedly(accumulated, bins.run_volume(above), end - (area.last + 1), target);
      accumulated = r.sum;
      area.last += r.added;
      if (area.last + 1 == end) ++above;
    } else {
      const std::uint64_t start = bins.run_start(below - 1);
      const RepeatedSum r = add_repeatedly(accumulated, bins.run_volume(below - 1), area.first - start, target);
      accumulated = r.sum;
      area.first -= r.added;
      if (area.first == start) --below;
    }
  }
  return area;
}

double bin_price(const PriceBins& bins, double position) { return bins.low() + bins.width() * position; }

}  // namespace

Expected<WindowRange, IndicatorError> WindowRange::create(std::uint64_t n, std::uint64_t bins) {
  if (auto e = check_window_and_bins(n, bins)) return unexpected(*e);
  return WindowRange(CandleWindow::create(n).value());
}

std::optional<double> WindowRange::update_candle(const Candle& c) {
  window_.push(c);
  if (!window_.full()) return std::nullopt;
  const auto [hi, lo] = window_.extremes();
  outputs_.set({lo, hi});
  return lo;
}

WindowHistogram::Layout WindowHistogram::push(const Candle& c) {
  window_.push(c);
  if (!window_.full()) return Layout::Filling;
  if (!bins_.lay_out(window_)) return Layout::SinglePrice;
  const double width = bins_.width();
  return std::isfinite(width) && width > 0.0 ? Layout::Binned : Layout::SinglePrice;
}

Expected<ValueAreaProfile, IndicatorError> ValueAreaProfile::create(std::uint64_t n, std::uint64_t bins,
                                                                    double fraction, Bounds bounds) {
  if (n == 0 || bins == 0) return unexpected(IndicatorError::period_zero());
  if (!(std::isfinite(fraction) && fraction > 0.0 && fraction <= 1.0)) {
    constexpr std::string_view kText = "value_area_pct must be in (0, 1]";
    return unexpected(bounds == Bounds::OuterEdges ? IndicatorError::invalid_period(kText)
                                                   : IndicatorError::invalid_parameter(kText));
  }
  if (auto e = check_window_and_bins(n, bins)) return unexpected(*e);
  return ValueAreaProfile(static_cast<std::size_t>(n), bins, fraction, bounds);
}

std::optional<double> ValueAreaProfile::update_candle(const Candle& c) {
  const WindowHistogram::Layout layout = histogram_.push(c);
  if (layout == WindowHistogram::Layout::Filling) return std::nullopt;
  const PriceBins& bins = histogram_.bins();
  if (layout == WindowHistogram::Layout::SinglePrice) {
    outputs_.set({bins.low(), bins.low(), bins.low()});
    return bins.low();
  }
  const Area area = value_area(bins, fraction_);
  const double poc = bin_price(bins, static_cast<double>(area.poc) + 0.5);
  if (bounds_ == Bounds::OuterEdges) {
    outputs_.set({poc, bin_price(bins, static_cast<double>(area.last + 1)), bin_price(bins, static_cast<double>(area.first))});
  } else {
    outputs_.set({poc, bin_price(bins, static_cast<double>(area.last) + 0.5),
                  bin_price(bins, static_cast<double>(area.first) + 0.5)});
  }
  return poc;
}

Expected<HighLowVolumeNodes, IndicatorError> HighLowVolumeNodes::create(std::uint64_t n, std::uint64_t bins) {
  if (auto e = check_window_and_bins(n, bins)) return unexpected(*e);
  return HighLowVolumeNodes(static_cast<std::size_t>(n), bins);
}

std::optional<double> HighLowVolumeNodes::update_candle(const Candle& c) {
  const WindowHistogram::Layout layout = histogram_.push(c);
  if (layout == WindowHistogram::Layout::Filling) return std::nullopt;
  const PriceBins& bins = histogram_.bins();
  if (layout == WindowHistogram::Layout::SinglePrice) {
    outputs_.set({bins.low(), bins.low()});
    return bins.low();
  }
  const std::size_t high_run = bins.largest_run();
  std::size_t low_run = high_run;
  bool found = false;
  for (std::size_t k = 0; k < bins.runs(); ++k) {
    const double v = bins.run_volume(k);
    if (v > 0.0 && (!found || v < bins.run_volume(low_run))) {
      low_run = k;
      found = true;
    }
  }
  const double hvn = bin_price(bins, static_cast<double>(bins.run_start(high_run)) + 0.5);
  outputs_.set({hvn, bin_price(bins, static_cast<double>(bins.run_start(low_run)) + 0.5)});
  return hvn;
}

Expected<VolumeWeightedSr, IndicatorError> VolumeWeightedSr::create(std::uint64_t n) {
  auto lows = Vwma::create(n);
  if (!lows.ok()) return unexpected(lows.error());
  return VolumeWeightedSr(std::move(lows).value(), Vwma::create(n).value());
}

std::optional<double> VolumeWeightedSr::update_candle(const Candle& c) {
  const std::optional<double> support = lows_.update_value(c.low, c.volume);
  const std::optional<double> resistance = highs_.update_value(c.high, c.volume);
  if (!support) return std::nullopt;
  outputs_.set({*support, *resistance});
  return support;
}

}  // namespace vsci
