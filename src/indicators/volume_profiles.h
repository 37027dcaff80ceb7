// Volume-profile kinds: candle kinds that cut the price range of a window (or
// of a block) of candles into equal bins and read the profile. Fed only
// validated candles; single-threaded use.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "indicators/cores/ring.h"
#include "indicators/indicator.h"

namespace vsci {

// The bins of a set of candles. Bins covered by the same candles hold the
// same total, so the profile is kept per run of such bins (at most two per
// candle, plus one) rather than per bin: its cost and storage follow the
// candles held, not the bin count. Each run's total still adds the shares of
// its candles in candle order, as a bin-by-bin profile would. Its storage is
// sized by the first lay_out of a full window and reused from then on.
class PriceBins {
 public:
  // What a lay_out tallies per run: the candles' volume, or how many candles
  // cover it. Each owner reads one of them, so only that one is built.
  enum class Tally { Volume, Coverage };

  explicit PriceBins(std::uint64_t bins, Tally tally = Tally::Volume) : bins_(bins), tally_(tally) {}

  // Lays the candles (oldest first) over the bins of their range; false when
  // the range is 0 or less (there are no bins to fill). low() is set either way.
  bool lay_out(const Ring<Candle>& candles);
  double low() const { return low_; }
  double width() const { return width_; }
  std::uint64_t bins() const { return bins_; }
  // The bin with the largest volume total, the lowest on a tie (0 when all
  // are 0). Needs a successful lay_out tallying volume.
  std::uint64_t point_of_control() const { return cuts_[largest_run()]; }
  // The bins as runs, lowest first, after a successful lay_out: run k covers
  // the bins from run_start(k) up to run_start(k + 1) - 1, each holding
  // run_volume(k); run_start(runs()) is bins().
  std::size_t runs() const { return totals_.size(); }
  std::uint64_t run_start(std::size_t k) const { return cuts_[k]; }
  double run_volume(std::size_t k) const { return totals_[k]; }
  // The run of the point of control.
  std::size_t largest_run() const;
  // How many bins exactly one candle covers. Needs a successful lay_out
  // tallying coverage.
  std::uint64_t single_prints() const { return singles_; }

 private:
  struct Cover {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    double share = 0.0;  // the candle's volume spread over its bins
  };
  // Up to this many bins beyond four per candle, coverage is counted bin by
  // bin, which is cheaper than sorting the run starts and still follows the
  // candles held.
  static constexpr std::uint64_t kDirectCoverageBins = 64;

  std::uint64_t bin_of(double price) const;
  void reserve(std::size_t candles);
  void count_singles_by_bin(const Ring<Candle>& candles);

  std::uint64_t bins_;
  Tally tally_;
  double low_ = 0.0;
  double width_ = 0.0;
  std::vector<Cover> covers_;        // one per candle, oldest first
  std::vector<std::uint64_t> cuts_;  // run starts, ascending, then bins_
  std::vector<double> totals_;       // volume per bin of each run
  std::vector<std::int64_t> coverage_;  // candles covering each run, or their changes bin by bin
  std::uint64_t singles_ = 0;
};

// The checks of a window of n candles over `bins` bins: either count 0, then
// either above MAX_PERIOD.
std::optional<IndicatorError> check_window_and_bins(std::uint64_t n, std::uint64_t bins);

// The untraded levels of NakedPoc, ordered by price on both sides of a gap
// that follows the latest bar: levels below it and levels above it, each
// ascending. A bar that trades through levels removes them at the gap, and a
// level the price moved past crosses the gap, so a trending series costs
// constant work per bar however many levels it leaves behind.
class NakedLevels {
 public:
  // Removes every level in [low, high] (bounds included).
  void trade_through(double low, double high);
  // Adds a level after trade_through of the bar whose close is `close`.
  void add(double level, double close);
  bool empty() const { return below_ == 0 && above_ == slots_.size(); }
  // The level nearest to close (a close within the last bar traded through),
  // the older of equally near ones.
  double nearest(double close) const;

 private:
  struct Entry {
    double price = 0.0;
    std::uint64_t order = 0;  // when it was found
  };
  [[gnu::noinline]] void grow();

  std::vector<Entry> slots_;  // [0, below_) and [above_, size) are held
  std::size_t below_ = 0;
  std::size_t above_ = 0;
  std::uint64_t next_order_ = 0;
};

// Where the point of control of the last n candles lies in their range:
// -1 bottom third, 0 middle, +1 top third (by bins / 3 bins).
class ProfileShape {
 public:
  static Expected<ProfileShape, IndicatorError> create(std::uint64_t n, std::uint64_t bins);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  ProfileShape(std::size_t n, std::uint64_t bins) : window_(n), profile_(bins) {}
  Ring<Candle> window_;
  PriceBins profile_;
};

// The number of price bins of the last n candles' range that exactly one of
// them covers.
class SinglePrints {
 public:
  static Expected<SinglePrints, IndicatorError> create(std::uint64_t n, std::uint64_t bins);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  SinglePrints(std::size_t n, std::uint64_t bins) : window_(n), profile_(bins, PriceBins::Tally::Coverage) {}
  Ring<Candle> window_;
  PriceBins profile_;
};

// The naked point of control nearest to the close: each completed block of n
// candles leaves the centre of its point-of-control bin, which lives until a
// later bar's range reaches it; the close itself while none is left.
class NakedPoc {
 public:
  static Expected<NakedPoc, IndicatorError> create(std::uint64_t n, std::uint64_t bins);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return block_.capacity(); }

 private:
  NakedPoc(std::size_t n, std::uint64_t bins) : block_(n), profile_(bins) {}
  Ring<Candle> block_;
  PriceBins profile_;
  NakedLevels levels_;
  bool completed_ = false;
};

}  // namespace vsci
