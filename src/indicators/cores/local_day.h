// The local calendar day of a bar: its time in whole seconds (rounded toward
// minus infinity) shifted by an offset in minutes, counted in days of 86,400
// seconds since the epoch, again rounded toward minus infinity so that times
// before the epoch fall on the right day. Pure; callable from any thread.
#pragma once

#include <cstdint>

namespace vsci {

inline std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Cannot overflow: |time / 1000| stays far below the range left for 60 times
// any 32-bit offset.
inline std::int64_t local_day(std::int64_t time_ms, std::int32_t offset_minutes) {
  return floor_div(floor_div(time_ms, 1000) + 60 * std::int64_t{offset_minutes}, 86400);
}

}  // namespace vsci
