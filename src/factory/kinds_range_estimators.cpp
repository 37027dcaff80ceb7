#include "factory/registry.h"
#include "indicators/range_estimators.h"

namespace vsci {

namespace {

// The three range-based estimators share one constructor and kind type.
template <RangeVolatility::Estimator E>
Expected<RangeVolatility, IndicatorError> create_range_volatility(std::uint64_t n, std::uint64_t a) {
  return RangeVolatility::create(n, a, E);
}

using Estimator = RangeVolatility::Estimator;

const KindEntry kEntries[] = {
    kind_row<&AverageDailyRange::create>("AverageDailyRange", {3, 60}),
    kind_row<&ChaikinVolatility::create>("ChaikinVolatility", {10, 10}),
    kind_row<&create_range_volatility<Estimator::GarmanKlass>>("GarmanKlassVolatility", {20, 252}),
    kind_row<&MassIndex::create>("MassIndex", {9, 25}),
    kind_row<&MidPrice::create>("MidPrice"),
    kind_row<&OvernightGap::create>("OvernightGap", {-300}),
    kind_row<&create_range_volatility<Estimator::Parkinson>>("ParkinsonVolatility", {20, 252}),
    kind_row<&create_range_volatility<Estimator::RogersSatchell>>("RogersSatchellVolatility", {20, 252}),
    kind_row<&SeasonalZScore::create>("SeasonalZScore", {90}),
};

}  // namespace

std::span<const KindEntry> range_estimator_kinds() { return kEntries; }

}  // namespace vsci
