// Trade-print kinds: liquidity, spread, order-flow toxicity and trade-sign
// measures over the prints of each bar. The windowed kinds take one step per
// print, so their windows count prints (buckets for Vpin), and a bar gives
// its last print's step result. A bar without prints gives no value and
// changes nothing. Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/moment_window.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/run_window_sum.h"
#include "indicators/cores/running_sum.h"
#include "indicators/cores/window_sum.h"
#include "indicators/indicator.h"
#include "indicators/rolling_statistics.h"
#include "util/expected.h"

namespace vsci {

class AmihudIlliquidity {
 public:
  static Expected<AmihudIlliquidity, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return terms_.capacity() + 1; }

 private:
  explicit AmihudIlliquidity(std::size_t n) : terms_(n, true) {}
  WindowSum terms_;
  std::optional<double> previous_price_;
  std::optional<double> last_value_;
};

class Pin {
 public:
  static Expected<Pin, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return buys_.capacity(); }

 private:
  explicit Pin(std::size_t n) : buys_(n) {}
  Ring<std::uint8_t> buys_;  // 1 for a buy, 0 for a sell
  std::size_t buy_count_ = 0;
};

class RollMeasure {
 public:
  static Expected<RollMeasure, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return changes_.capacity() + 1; }

 private:
  explicit RollMeasure(std::size_t n) : changes_(n) {}
  std::optional<double> step(double price);
  Ring<double> changes_;
  std::optional<double> previous_price_;
};

class TradeImbalance {
 public:
  static Expected<TradeImbalance, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return sides_.capacity(); }

 private:
  struct Sides {
    double buy = 0.0;
    double sell = 0.0;
  };
  explicit TradeImbalance(std::size_t n) : sides_(n) {}
  std::optional<double> step(const TradePrint& t);
  Ring<Sides> sides_;
  // Counted sums: a side without any non-zero size in the window sums to
  // +0.0, so a window of zero sizes gives exactly 0.
  RunningSum buy_;
  RunningSum sell_;
};

class TradeSignAutocorrelation {
 public:
  static Expected<TradeSignAutocorrelation, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return signs_.capacity(); }

 private:
  explicit TradeSignAutocorrelation(std::size_t n) : signs_(n) {}
  Ring<std::int8_t> signs_;
  // The products of neighbouring signs are +-1, so their sum is an exact
  // integer and a running count equals the scan.
  std::int64_t neighbour_sum_ = 0;
};

class Vpin {
 public:
  static Expected<Vpin, IndicatorError> create(double bucket_volume, std::uint64_t buckets);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return 1; }

 private:
  Vpin(double v, std::size_t n) : bucket_volume_(v), imbalances_(n) {}
  void fill(double size, bool buy);
  void take(double amount, bool buy);
  void complete_bucket();

  double bucket_volume_;
  RunWindowSum imbalances_;
  double buy_ = 0.0;
  double sell_ = 0.0;
  double filled_ = 0.0;
};

class KylesLambda {
 public:
  static Expected<KylesLambda, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return pairs_.period() + 1; }

 private:
  explicit KylesLambda(std::size_t n) : pairs_(n) {}
  std::optional<double> step(double q, double mid);

  std::optional<double> previous_mid_;
  PairedMoments pairs_;  // (signed size, mid change)
};

class RealizedSpread {
 public:
  static Expected<RealizedSpread, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return entries_.capacity() + 1; }

 private:
  struct Entry {
    double sign = 0.0;
    double price = 0.0;
    double mid = 0.0;
  };
  explicit RealizedSpread(std::size_t n) : entries_(n) {}
  // Holds the last n trades: the one a new trade pushes out is n trades back.
  Ring<Entry> entries_;
};

struct TradeToMidSpreadBps {
  std::optional<double> update_bar(const BarContext& ctx) const;
  std::uint64_t warmup() const { return 1; }
};

struct SignedVolume {
  std::optional<double> update_bar(const BarContext& ctx) const;
  std::uint64_t warmup() const { return 1; }
};

class CumulativeVolumeDelta {
 public:
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return 1; }

 private:
  double total_ = 0.0;
};

}  // namespace vsci
