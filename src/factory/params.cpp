#include "factory/params.h"

#include <charconv>
#include <cmath>

namespace vsci {

namespace {

constexpr double kEpsilon = 2.220446049250313e-16;  // absolute, not relative

std::string position_text(std::size_t position) { return std::to_string(position); }

BacktestError getter_error(std::string_view kind_name, std::string message) {
  return BacktestError::invalid_parameters(std::string(kind_name), std::move(message));
}

BacktestError kind_error(std::string_view kind_name, std::size_t position, const char* what, double value) {
  return getter_error(kind_name, "parameter #" + position_text(position) + " must be " + what + ", got " +
                                     format_param_value(value));
}

bool is_integral(double v) { return std::fabs(v - std::trunc(v)) <= kEpsilon; }

}  // namespace

std::string format_param_value(double value) {
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  return std::string(buf, res.ptr);
}

Expected<double, BacktestError> param_finite(Params params, std::size_t position, std::string_view kind_name) {
  if (position >= params.size()) return unexpected(getter_error(kind_name, "missing parameter #" + position_text(position)));
  const double v = params[position];
  if (!std::isfinite(v)) {
    return unexpected(getter_error(kind_name, "parameter #" + position_text(position) + " must be finite"));
  }
  return v;
}

Expected<std::uint64_t, BacktestError> param_positive_integer(Params params, std::size_t position,
                                                              std::string_view kind_name) {
  auto v = param_finite(params, position, kind_name);
  if (!v.ok()) return unexpected(std::move(v).error());
  const double x = v.value();
  if (!(x > 0.0) || !is_integral(x)) return unexpected(kind_error(kind_name, position, "a positive integer", x));
  const double t = std::trunc(x);
  if (t >= 18446744073709551616.0) return std::uint64_t{18446744073709551615ULL};
  return static_cast<std::uint64_t>(t);
}

Expected<std::int32_t, BacktestError> param_i32(Params params, std::size_t position, std::string_view kind_name) {
  auto v = param_finite(params, position, kind_name);
  if (!v.ok()) return unexpected(std::move(v).error());
  const double x = v.value();
  if (!is_integral(x) || !(x >= -2147483648.0 && x <= 2147483647.0)) {
    return unexpected(kind_error(kind_name, position, "an i32", x));
  }
  return static_cast<std::int32_t>(std::trunc(x));
}

Expected<std::uint32_t, BacktestError> param_u32(Params params, std::size_t position, std::string_view kind_name) {
  auto v = param_finite(params, position, kind_name);
  if (!v.ok()) return unexpected(std::move(v).error());
  const double x = v.value();
  if (!(x >= 0.0 && x <= 4294967295.0) || !is_integral(x)) {
    return unexpected(kind_error(kind_name, position, "a u32", x));
  }
  return static_cast<std::uint32_t>(std::trunc(x));
}

BacktestError attach_indicator_name(std::string_view kind_name, const IndicatorError& error) {
  return BacktestError::invalid_parameters(std::string(kind_name), error.to_string());
}

}  // namespace vsci
