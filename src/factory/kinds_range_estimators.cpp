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

}  // namespace

std::span<const KindEntry> range_estimator_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&AverageDailyRange::create>("AverageDailyRange", {"period", "offset_minutes"}, {3, 60})
          .with_first_value(FirstValue::WhenDataAllows),
      kind_row<&ChaikinVolatility::create>("ChaikinVolatility", {"ema_period", "roc_distance"}, {10, 10}),
      kind_row<&create_range_volatility<Estimator::GarmanKlass>>("GarmanKlassVolatility",
                                                                 {"period", "periods_per_year"}, {20, 252}),
      kind_row<&MassIndex::create>("MassIndex", {"ema_period", "sum_length"}, {9, 25}),
      kind_row<&MidPrice::create>("MidPrice", {"period"}),
      kind_row<&OvernightGap::create>("OvernightGap", {"offset_minutes"}, {-300})
          .with_first_value(FirstValue::WhenDataAllows),
      kind_row<&create_range_volatility<Estimator::Parkinson>>("ParkinsonVolatility",
                                                               {"period", "periods_per_year"}, {20, 252}),
      kind_row<&create_range_volatility<Estimator::RogersSatchell>>("RogersSatchellVolatility",
                                                                    {"period", "periods_per_year"}, {20, 252}),
      kind_row<&SeasonalZScore::create>("SeasonalZScore", {"offset_minutes"}, {90})
          .with_first_value(FirstValue::WhenDataAllows),
  };
  return kEntries;
}

}  // namespace vsci
