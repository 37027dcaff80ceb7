// A bin index is worked out in floating point and clamped to the bins before
// it becomes an integer: a width that underflowed to 0 or overflowed to
// infinity turns the quotient into an infinity or NaN, which must land in a
// bin (NaN in bin 0) rather than reach an integer conversion. Bin counts up
// to the window bound are accepted, so nothing is ever sized by the bin count.
#include "indicators/volume_profiles.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/window_checks.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

template <class F>
void for_each_candle(const Ring<Candle>& candles, F&& f) {
  const auto [first, second] = candles.runs();
  for (const Candle& c : first) f(c);
  for (const Candle& c : second) f(c);
}

}  // namespace

std::optional<IndicatorError> check_window_and_bins(std::uint64_t n, std::uint64_t bins) {
  if (n == 0 || bins == 0) return IndicatorError::period_zero();
  if (n > MAX_PERIOD || bins > MAX_PERIOD) return IndicatorError::period_too_large();
  return std::nullopt;
}

std::uint64_t PriceBins::bin_of(double price) const {
  double q = (price - low_) / width_;
  if (!(q >= 0.0)) q = 0.0;  // NaN; the quotient is never negative otherwise
  q = std::min(q, static_cast<double>(bins_ - 1));
  return static_cast<std::uint64_t>(q);
}

bool PriceBins::lay_out(const Ring<Candle>& candles) {
  double high = -kInf;
  double low = kInf;
  for_each_candle(candles, [&](const Candle& c) {
    if (c.high > high) high = c.high;
    if (c.low < low) low = c.low;
  });
  low_ = low;
  const double range = high - low;
  if (!(range > 0.0)) return false;
  width_ = range / static_cast<double>(bins_);
  if (tally_ == Tally::Coverage && bins_ <= kDirectCoverageBins + 4 * candles.size()) {
    count_singles_by_bin(candles);
    return true;
  }
  reserve(candles.size());
  // With few bins for the candles every bin is a run of its own, which
  // spares sorting the run starts.
  const bool bin_runs = bins_ <= 2 * candles.size() + 1;
  covers_.clear();
  cuts_.clear();
  if (bin_runs) {
    for (std::uint64_t b = 0; b <= bins_; ++b) cuts_.push_back(b);
  } else {
    cuts_.push_back(0);
  }
  for_each_candle(candles, [&](const Candle& c) {
    const std::uint64_t first = bin_of(c.low);
    const std::uint64_t last = std::max(first, bin_of(c.high));
    // A candle without volume adds +0.0, which leaves every total (never
    // -0.0) as it was: the same as skipping it.
    const double share = tally_ == Tally::Coverage || c.volume == 0.0
                             ? 0.0
                             : c.volume / static_cast<double>(last - first + 1);
    covers_.push_back(Cover{first, last, share});
    if (!bin_runs) {
      cuts_.push_back(first);
      cuts_.push_back(last + 1);
    }
  });
  if (!bin_runs) {
    std::sort(cuts_.begin(), cuts_.end());
    cuts_.erase(std::unique(cuts_.begin(), cuts_.end()), cuts_.end());
    if (cuts_.back() != bins_) cuts_.push_back(bins_);  // last + 1 never passes bins_
  }
  const std::size_t runs = cuts_.size() - 1;
  const auto first_run = [&](const Cover& cover) {
    return bin_runs ? static_cast<std::size_t>(cover.first)
                    : static_cast<std::size_t>(std::lower_bound(cuts_.begin(), cuts_.end(), cover.first) -
                                               cuts_.begin());
  };
  if (tally_ == Tally::Coverage) {
    coverage_.assign(runs, 0);
    for (const Cover& cover : covers_) {
      for (std::size_t k = first_run(cover); cuts_[k] <= cover.last; ++k) ++coverage_[k];
    }
    singles_ = 0;
    for (std::size_t k = 0; k < runs; ++k) {
      if (coverage_[k] == 1) singles_ += cuts_[k + 1] - cuts_[k];
    }
    return true;
  }
  totals_.assign(runs, 0.0);
  for (const Cover& cover : covers_) {
    for (std::size_t k = first_run(cover); cuts_[k] <= cover.last; ++k) totals_[k] = totals_[k] + cover.share;
  }
  return true;
}

std::size_t PriceBins::largest_run() const {
  std::size_t best = 0;
  for (std::size_t k = 1; k < totals_.size(); ++k) {
    if (totals_[k] > totals_[best]) best = k;
  }
  return best;
}

void PriceBins::reserve(std::size_t candles) {
  // At most two run starts per candle, the first bin and the end.
  const std::size_t runs = 2 * candles + 2;
  if (cuts_.capacity() >= runs) return;
  covers_.reserve(candles);
  cuts_.reserve(runs);
  totals_.reserve(runs);
  coverage_.reserve(runs);
}

void PriceBins::count_singles_by_bin(const Ring<Candle>& candles) {
  // Each candle adds one from its first bin and takes it away after its last,
  // so a running sum over the bins is how many candles cover each of them.
  coverage_.assign(static_cast<std::size_t>(bins_) + 1, 0);
  for_each_candle(candles, [&](const Candle& c) {
    const std::uint64_t first = bin_of(c.low);
    const std::uint64_t last = std::max(first, bin_of(c.high));
    ++coverage_[first];
    --coverage_[last + 1];
  });
  std::int64_t covering = 0;
  std::uint64_t singles = 0;
  for (std::uint64_t b = 0; b < bins_; ++b) {
    covering += coverage_[b];
    singles += covering == 1 ? 1 : 0;
  }
  singles_ = singles;
}

void NakedLevels::trade_through(double low, double high) {
  const std::size_t end = slots_.size();
  // Levels the price moved past without touching change sides first, so that
  // the levels the bar touches end up next to the gap.
  while (above_ < end && slots_[above_].price < low) slots_[below_++] = slots_[above_++];
  while (below_ > 0 && slots_[below_ - 1].price > high) slots_[--above_] = slots_[--below_];
  while (above_ < end && slots_[above_].price <= high) ++above_;
  while (below_ > 0 && slots_[below_ - 1].price >= low) --below_;
}

void NakedLevels::add(double level, double close) {
  if (below_ == above_) grow();
  const Entry entry{level, next_order_++};
  if (level < close) {
    std::size_t i = below_++;
    for (; i > 0 && slots_[i - 1].price > level; --i) slots_[i] = slots_[i - 1];
    slots_[i] = entry;
  } else {
    std::size_t i = --above_;
    for (; i + 1 < slots_.size() && slots_[i + 1].price < level; ++i) slots_[i] = slots_[i + 1];
    slots_[i] = entry;
  }
}

void NakedLevels::grow() {
  const std::size_t upper = slots_.size() - above_;
  std::vector<Entry> wider(std::max<std::size_t>(64, 2 * slots_.size()));
  std::copy(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(below_), wider.begin());
  std::copy(slots_.begin() + static_cast<std::ptrdiff_t>(above_), slots_.end(),
            wider.end() - static_cast<std::ptrdiff_t>(upper));
  above_ = wider.size() - upper;
  slots_.swap(wider);
}

double NakedLevels::nearest(double close) const {
  // Distances grow away from the gap on each side, so the nearest levels of a
  // side are a run next to the gap; of equal distances the oldest wins, as in
  // a scan of the levels in the order they were found.
  const Entry* best = nullptr;
  double best_distance = 0.0;
  const auto consider = [&](const Entry& e, double distance) {
    if (best == nullptr || distance < best_distance || (distance == best_distance && e.order < best->order)) {
      best = &e;
      best_distance = distance;
    }
  };
  if (below_ > 0) {
    const double d = std::fabs(slots_[below_ - 1].price - close);
    for (std::size_t i = below_; i > 0 && std::fabs(slots_[i - 1].price - close) == d; --i) consider(slots_[i - 1], d);
  }
  if (above_ < slots_.size()) {
    const double d = std::fabs(slots_[above_].price - close);
    for (std::size_t i = above_; i < slots_.size() && std::fabs(slots_[i].price - close) == d; ++i) {
      consider(slots_[i], d);
    }
  }
  return best->price;
}

Expected<ProfileShape, IndicatorError> ProfileShape::create(std::uint64_t n, std::uint64_t bins) {
  if (auto e = check_period(n)) return unexpected(*e);
  if (bins < 3) return unexpected(IndicatorError::invalid_period("profile shape needs bins >= 3"));
  if (bins > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return ProfileShape(static_cast<std::size_t>(n), bins);
}

std::optional<double> ProfileShape::update_candle(const Candle& c) {
  window_.push(c);
  if (!window_.full()) return std::nullopt;
  // A flat window has no bins to fill: its point of control is bin 0.
  const std::uint64_t poc = profile_.lay_out(window_) ? profile_.point_of_control() : 0;
  const std::uint64_t bins = profile_.bins();
  const std::uint64_t third = bins / 3;
  if (poc < third) return -1.0;
  if (poc >= bins - third) return 1.0;
  return 0.0;
}

Expected<SinglePrints, IndicatorError> SinglePrints::create(std::uint64_t n, std::uint64_t bins) {
  if (auto e = check_window_and_bins(n, bins)) return unexpected(*e);
  return SinglePrints(static_cast<std::size_t>(n), bins);
}

std::optional<double> SinglePrints::update_candle(const Candle& c) {
  window_.push(c);
  if (!window_.full()) return std::nullopt;
  if (!profile_.lay_out(window_)) return 0.0;
  return static_cast<double>(profile_.single_prints());
}

Expected<NakedPoc, IndicatorError> NakedPoc::create(std::uint64_t n, std::uint64_t bins) {
  if (auto e = check_window_and_bins(n, bins)) return unexpected(*e);
  return NakedPoc(static_cast<std::size_t>(n), bins);
}

std::optional<double> NakedPoc::update_candle(const Candle& c) {
  levels_.trade_through(c.low, c.high);
  block_.push(c);
  if (block_.full()) {
    // The new level is not tested against the bar that completed its block.
    const double level = profile_.lay_out(block_)
                             ? profile_.low() + (static_cast<double>(profile_.point_of_control()) + 0.5) * profile_.width()
                             : profile_.low();
    levels_.add(level, c.close);
    block_.clear();
    completed_ = true;
  }
  if (!completed_) return std::nullopt;
  return levels_.empty() ? c.close : levels_.nearest(c.close);
}

}  // namespace vsci
