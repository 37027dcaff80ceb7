// Calendar days of bar times for the kinds that group bars by local day: the
// day number of a millisecond time shifted by a time-zone offset, and the
// proleptic Gregorian date of a day number. Every division rounds toward minus
// infinity, so times before 1970 fall on the earlier day; all arithmetic stays
// within 64 bits for every time and offset. Pure functions.
#pragma once

#include <cstdint>

namespace vsci {

struct CivilDate {
  std::int64_t year = 1970;
  unsigned month = 1;  // 1..12
  unsigned day = 1;    // 1..31
};

inline std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Seconds since the epoch of `time_ms` (whole seconds, rounded down) on the
// clock of a zone `offset_minutes` east of UTC. Seconds of a time fit in 2^54
// and the offset in 2^38, so the sum cannot overflow.
inline std::int64_t local_seconds(std::int64_t time_ms, std::int32_t offset_minutes) {
  return floor_div(time_ms, 1000) + std::int64_t{offset_minutes} * 60;
}

// Days since 1970-01-01 of the local day holding `time_ms`.
inline std::int64_t local_day(std::int64_t time_ms, std::int32_t offset_minutes) {
  return floor_div(local_seconds(time_ms, offset_minutes), 86400);
}

// The local hour (0 to 23) of `time_ms`.
inline int local_hour(std::int64_t time_ms, std::int32_t offset_minutes) {
  const std::int64_t seconds = local_seconds(time_ms, offset_minutes);
  return static_cast<int>((seconds - 86400 * floor_div(seconds, 86400)) / 3600);
}

// The civil-from-days rule: eras of 400 years (146,097 days) counted from
// 0000-03-01, which lies 719,468 days before 1970-01-01.
inline CivilDate civil_from_days(std::int64_t days) {
  const std::int64_t z = days + 719468;
  const std::int64_t era = floor_div(z, 146097);
  const std::int64_t doe = z - era * 146097;                                  // [0, 146096]
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);          // [0, 365]
  const std::int64_t mp = (5 * doy + 2) / 153;                               // [0, 11], March first
  CivilDate d;
  d.day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
  d.month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
  d.year = yoe + era * 400 + (d.month <= 2 ? 1 : 0);
  return d;
}

inline bool is_leap_year(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

inline unsigned days_in_month(std::int64_t year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

}  // namespace vsci
