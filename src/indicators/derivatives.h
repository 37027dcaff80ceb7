// Derivatives kinds: funding, basis, open-interest, long-short, taker and
// liquidation measures from each bar's derivatives tick. Histories count
// ticks: a bar without a tick gives no value and changes nothing.
// LiquidationFeatures publishes named outputs. Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/mom.h"
#include "indicators/cores/record_formula.h"
#include "indicators/cores/ring.h"
#include "indicators/indicator.h"
#include "indicators/rolling_statistics.h"
#include "util/expected.h"

namespace vsci {

double funding_rate_of(const DerivativesTick& t);
double mark_basis(const DerivativesTick& t);
double futures_index_basis(const DerivativesTick& t);
double futures_mark_basis(const DerivativesTick& t);
double taker_buy_sell_ratio(const DerivativesTick& t);
double long_short_ratio(const DerivativesTick& t);
double open_interest_to_volume(const DerivativesTick& t);

// The kinds whose value is one formula of the current tick.
template <double (*Formula)(const DerivativesTick&)>
using TickRatio = RecordFormula<&BarContext::derivatives, Formula>;

using FundingRate = TickRatio<&funding_rate_of>;
// FundingBasis and PerpetualPremiumIndex are the same value.
using FundingBasis = TickRatio<&mark_basis>;
using TermStructureBasis = TickRatio<&futures_index_basis>;
using FuturesMarkBasis = TickRatio<&futures_mark_basis>;
using TakerBuySellRatio = TickRatio<&taker_buy_sell_ratio>;
using LongShortRatio = TickRatio<&long_short_ratio>;
using OpenInterestToVolume = TickRatio<&open_interest_to_volume>;

class FundingImpliedApr {
 public:
  static Expected<FundingImpliedApr, IndicatorError> create(double intervals_per_year);
  std::optional<double> update_bar(const BarContext& ctx) const;
  std::uint64_t warmup() const { return 1; }

 private:
  explicit FundingImpliedApr(double intervals) : intervals_per_year_(intervals) {}
  double intervals_per_year_;
};

class LiquidationFeatures {
 public:
  static constexpr std::array<std::string_view, 5> kOutputNames{"long", "short", "net", "total", "imbalance"};

  // The main value is the long liquidation.
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  OutputList<5> outputs_{kOutputNames};
};

// The open-interest-weighted mark price since the first tick.
class OIWeighted {
 public:
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return 1; }

 private:
  double weighted_ = 0.0;
  double open_interest_ = 0.0;
};

class OpenInterestDelta {
 public:
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return 2; }

 private:
  std::optional<double> previous_;
};

// The percentage change of open interest over n ticks.
class OpenInterestMomentum {
 public:
  static Expected<OpenInterestMomentum, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return lag_.warmup(); }

 private:
  explicit OpenInterestMomentum(Mom lag) : lag_(std::move(lag)) {}
  Mom lag_;
};

// The fractional change of open interest less that of the mark price, over n
// ticks.
class OIPriceDivergence {
 public:
  static Expected<OIPriceDivergence, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return ticks_.capacity(); }

 private:
  struct Pair {
    double open_interest = 0.0;
    double mark = 0.0;
  };
  explicit OIPriceDivergence(std::size_t n) : ticks_(n + 1) {}
  Ring<Pair> ticks_;
};

class FundingRateMean {
 public:
  static Expected<FundingRateMean, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return n_; }

 private:
  explicit FundingRateMean(std::size_t n) : n_(n), rates_(n + 1) {}
  std::size_t n_;
  // The re-sum runs after the append and before the drop, over up to n + 1
  // rates; the oldest of n + 1 held rates is already out of the sum.
  Ring<double> rates_;
  double sum_ = 0.0;
  std::size_t pushes_ = 0;
};

// The current rate's distance from the window mean in population standard
// deviations: the ZScore of the funding rates.
using FundingRateZScore = RecordSeries<ZScore, &BarContext::derivatives, &funding_rate_of>;

}  // namespace vsci
