// json::Error: the one error of the JSON layer, for syntax failures of the text
// and for typed-reading failures (wrong type, missing member, ...). `message` is
// the user-visible text; `line` is 0 when the failure has no position (typed
// reading from a tree), else `to_string()` appends " at line L column C".
//
// The named constructors build the typed-reading texts, so every reader of the
// system words them the same way. `describe_*` give the "found" half of
// "invalid type: {found}, expected {what}". Plain values; thread-safe.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vsci::json {

// Syntax failures of the text. Their texts are `syntax_message(code)`.
enum class ErrorCode : unsigned char {
  EofWhileParsingList,
  EofWhileParsingObject,
  EofWhileParsingString,
  EofWhileParsingValue,
  ExpectedColon,
  ExpectedListCommaOrEnd,
  ExpectedObjectCommaOrEnd,
  ExpectedSomeIdent,
  ExpectedSomeValue,
  ExpectedDoubleQuote,
  InvalidEscape,
  InvalidNumber,
  NumberOutOfRange,
  InvalidUnicodeCodePoint,
  ControlCharacterWhileParsingString,
  KeyMustBeAString,
  LoneLeadingSurrogateInHexEscape,
  TrailingComma,
  TrailingCharacters,
  UnexpectedEndOfHexEscape,
  RecursionLimitExceeded,
};

std::string_view syntax_message(ErrorCode code);

struct Error {
  std::string message;
  std::uint64_t line = 0;  // 0: no position
  std::uint64_t column = 0;

  // The message, plus " at line L column C" when the error has a position.
  std::string to_string() const;

  // "invalid type: {found}, expected {expected}"
  static Error invalid_type(std::string_view found, std::string_view expected);
  // "invalid value: {found}, expected {expected}"
  static Error invalid_value(std::string_view found, std::string_view expected);
  // "invalid length {n}, expected {expected}"
  static Error invalid_length(std::uint64_t n, std::string_view expected);
  // "unknown variant `x`, expected one of `a`, `b`, `c`" (two choices: "`a` or `b`")
  static Error unknown_variant(std::string_view variant, std::span<const std::string_view> choices);
  static Error missing_field(std::string_view name);    // "missing field `x`"
  static Error duplicate_field(std::string_view name);  // "duplicate field `x`"
  static Error custom(std::string message) { return Error{std::move(message)}; }
};

// The "found" descriptions, fixed once for the whole system.
std::string describe_u64(std::uint64_t v);   // integer `5`
std::string describe_i64(std::int64_t v);    // integer `-5`
std::string describe_f64(double v);          // floating point `1.5`
std::string describe_bool(bool v);           // boolean `true`
std::string describe_string(std::string_view s);  // string "x" (quotes and controls escaped)
inline constexpr std::string_view kFoundNull = "null";
inline constexpr std::string_view kFoundSequence = "sequence";
inline constexpr std::string_view kFoundMap = "map";
inline constexpr std::string_view kFoundUnitVariant = "unit variant";

// "struct Candle with 6 elements" / "... with 1 element"
std::string struct_with_elements(std::string_view struct_name, std::size_t count);

}  // namespace vsci::json
