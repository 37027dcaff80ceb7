// Parameters arrive as JSON doubles; what counts as an integer, a count or a
// finite value is decided here once, for every kind.
#include "factory/params.h"

#include <charconv>
#include <cmath>

#include "market/price_checks.h"

namespace vsci {

namespace {


std::string position_text(std::size_t position) { return std::to_string(position); }

BacktestError getter_error(std::string_view kind_name, std::string message) {
  return BacktestError::invalid_parameters(std::string(kind_name), std::move(message));
}

BacktestError kind_error(std::string_view kind_name, std::size_t position, const char* what, double value) {
  return getter_error(kind_name, "parameter #" + position_text(position) + " must be " + what + ", got " +
                                     format_param_value(value));
}

bool is_integral(double v) { return std::fabs(v - std::trunc(v)) <= EPS; }

}  // namespace

std::string format_param_value(double value) {
  // The shortest round-trip digits come from the scientific form; they are then
  // laid out positionally (fixed notation alone would print the exact binary
  // expansion of large values instead of the shortest digits).
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
  std::string out;
  if (text.front() == '-') {
    out += '-';
    text.remove_prefix(1);
  }
  const std::size_t e = text.find('e');
  std::string digits(1, text[0]);
  if (e > 1) digits.append(text.substr(2, e - 2));  // skip the point
  std::string_view exp_text = text.substr(e + 1);
  if (exp_text.front() == '+') exp_text.remove_prefix(1);
  int exponent = 0;
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);
  // The decimal point sits after `point` digits (before them when negative).
  const long point = static_cast<long>(exponent) + 1;
  const long n = static_cast<long>(digits.size());
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-point), '0');
    out += digits;
  } else if (point >= n) {
    out += digits;
    out.append(static_cast<std::size_t>(point - n), '0');
  } else {
    out.append(digits, 0, static_cast<std::size_t>(point));
    out += '.';
    out.append(digits, static_cast<std::size_t>(point));
  }
  return out;
}

Expected<double, BacktestError> param_finite(ParamList params, std::size_t position, std::string_view kind_name) {
  if (position >= params.size()) return unexpected(getter_error(kind_name, "missing parameter #" + position_text(position)));
  const double v = params[position];
  if (!std::isfinite(v)) {
    return unexpected(getter_error(kind_name, "parameter #" + position_text(position) + " must be finite"));
  }
  return v;
}

Expected<std::uint64_t, BacktestError> param_positive_integer(ParamList params, std::size_t position,
                                                              std::string_view kind_name) {
  auto v = param_finite(params, position, kind_name);
  if (!v.ok()) return unexpected(std::move(v).error());
  const double x = v.value();
  if (!(x > 0.0) || !is_integral(x)) return unexpected(kind_error(kind_name, position, "a positive integer", x));
  const double t = std::trunc(x);
  if (t >= 18446744073709551616.0) return std::uint64_t{18446744073709551615ULL};
  return static_cast<std::uint64_t>(t);
}

Expected<std::int32_t, BacktestError> param_i32(ParamList params, std::size_t position, std::string_view kind_name) {
  auto v = param_finite(params, position, kind_name);
  if (!v.ok()) return unexpected(std::move(v).error());
  const double x = v.value();
  if (!is_integral(x) || !(x >= -2147483648.0 && x <= 2147483647.0)) {
    return unexpected(kind_error(kind_name, position, "an i32", x));
  }
  return static_cast<std::int32_t>(std::trunc(x));
}

Expected<std::uint32_t, BacktestError> param_u32(ParamList params, std::size_t position, std::string_view kind_name) {
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
