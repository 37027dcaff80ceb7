// Derivatives kinds against per-tick formulas and histories over tapes with
// zero amounts, zero open interest and a stretch of one funding rate, and
// their construction checks in order.
#include "support/feed_tape.h"

namespace vsci::testing {
namespace {

using Ticks = std::vector<DerivativesTick>;
using D = const DerivativesTick&;

using Span = std::span<const DerivativesTick>;

auto now(double (*f)(D)) { return newest<DerivativesTick>(f); }
// f(the tick n back, the newest).
auto back(double (*f)(D, D)) {
  return window<DerivativesTick>(1, [f](Span w, double) { return f(w.front(), w.back()); });
}
double ratio(double a, double b) { return b == 0.0 ? 0.0 : a / b; }
double basis(D d) { return (d.mark_price - d.index_price) / d.index_price; }

TEST(Derivatives, MatchReferences) {
  const auto mean = [](Span w, double n) {
    double sum = 0.0;
    for (D d : w) sum += d.funding_rate;
    return sum / n;
  };
  const auto zscore = [](Span w, double n) {
    double m = w[0].funding_rate, var = 0.0;  // the mean about the oldest rate: exact for equal rates
    for (D d : w) m += (d.funding_rate - w[0].funding_rate) / n;
    for (D d : w) var += (d.funding_rate - m) * (d.funding_rate - m) / n;
    return var == 0.0 ? 0.0 : (w.back().funding_rate - m) / std::sqrt(var);
  };
  const auto weighted = [](const Ticks& r, std::size_t j, const Params&) {
    double w = 0.0, v = 0.0;
    for (std::size_t k = 0; k <= j; ++k) w = w + r[k].open_interest * r[k].mark_price, v = v + r[k].open_interest;
    return std::optional(v == 0.0 ? r[j].mark_price : w / v);
  };
  expect_record_references<DerivativesTick>([](const BarTape& t, std::size_t i) { return Ticks{t.ticks[i]}; }, {
      {"FundingRate", now([](D d) { return d.funding_rate; }), {{}}},
      {"FundingImpliedApr", [](const Ticks& r, std::size_t j, const Params& p) { return std::optional(r[j].funding_rate * p[0]); },
       {{365}, {0.5}}},
      {"FundingBasis", now(basis), {{}}},
      {"PerpetualPremiumIndex", now(basis), {{}}},
      {"TermStructureBasis", now([](D d) { return (d.futures_price - d.index_price) / d.index_price; }), {{}}},
      {"FuturesMarkBasis", now([](D d) { return (d.futures_price - d.mark_price) / d.mark_price; }), {{}}},
      {"TakerBuySellRatio", now([](D d) { return ratio(d.taker_buy_volume, d.taker_sell_volume); }), {{}}},
      {"LongShortRatio", now([](D d) { return ratio(d.long_size, d.short_size); }), {{}}},
      {"OpenInterestToVolume", now([](D d) { return ratio(d.open_interest, d.taker_buy_volume + d.taker_sell_volume); }), {{}}},
      {"LiquidationFeatures", now([](D d) { return d.long_liquidation; }), {{}}},
      {"OIWeighted", weighted, {{}}},
      {"OpenInterestDelta", back([](D a, D b) { return b.open_interest - a.open_interest; }), {{1}}},
      {"OpenInterestMomentum", back([](D a, D b) {
         return a.open_interest > 0.0 ? (b.open_interest - a.open_interest) * 100.0 / a.open_interest : 0.0;
       }), {{1}, {4}, {30}}},
      {"OIPriceDivergence", back([](D a, D b) {
         return ratio(b.open_interest - a.open_interest, a.open_interest) - (b.mark_price - a.mark_price) / a.mark_price;
       }), {{1}, {4}, {30}}},
      {"FundingRateMean", window<DerivativesTick>(0, mean), {{1}, {3}, {25}}, 1e-18},
      {"FundingRateZScore", window<DerivativesTick>(0, zscore), {{2}, {8}, {40}}, 1e-9},
  });
}

TEST(Derivatives, ConstructionChecksInOrder) {
  const std::string apr = "invalid parameter: intervals_per_year must be finite and positive";
  expect_count_checks({"OpenInterestMomentum", "OIPriceDivergence", "FundingRateMean", "FundingRateZScore"},
                      {{"FundingImpliedApr", {0}, apr}, {"FundingImpliedApr", {-0.0}, apr}, {"FundingImpliedApr", {-3}, apr},
                       {"FundingImpliedApr", {1e-300}, ""}, {"FundingImpliedApr", {kInf}, "parameter #0 must be finite"}});
}

}  // namespace
}  // namespace vsci::testing
