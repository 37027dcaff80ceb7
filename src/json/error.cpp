// Every typed-reading failure is worded here, so the texts the user reads are
// the same whichever reader met the failure.
#include "json/error.h"

#include <charconv>

#include "json/number_format.h"

namespace vsci::json {

std::string_view syntax_message(ErrorCode code) {
  switch (code) {
    case ErrorCode::EofWhileParsingList: return "EOF while parsing a list";
    case ErrorCode::EofWhileParsingObject: return "EOF while parsing an object";
    case ErrorCode::EofWhileParsingString: return "EOF while parsing a string";
    case ErrorCode::EofWhileParsingValue: return "EOF while parsing a value";
    case ErrorCode::ExpectedColon: return "expected `:`";
    case ErrorCode::ExpectedListCommaOrEnd: return "expected `,` or `]`";
    case ErrorCode::ExpectedObjectCommaOrEnd: return "expected `,` or `}`";
    case ErrorCode::ExpectedSomeIdent: return "expected ident";
    case ErrorCode::ExpectedSomeValue: return "expected value";
    case ErrorCode::ExpectedDoubleQuote: return "expected `\"`";
    case ErrorCode::InvalidEscape: return "invalid escape";
    case ErrorCode::InvalidNumber: return "invalid number";
    case ErrorCode::NumberOutOfRange: return "number out of range";
    case ErrorCode::InvalidUnicodeCodePoint: return "invalid unicode code point";
    case ErrorCode::ControlCharacterWhileParsingString:
      return "control character (\\u0000-\\u001F) found while parsing a string";
    case ErrorCode::KeyMustBeAString: return "key must be a string";
    case ErrorCode::LoneLeadingSurrogateInHexEscape: return "lone leading surrogate in hex escape";
    case ErrorCode::TrailingComma: return "trailing comma";
    case ErrorCode::TrailingCharacters: return "trailing characters";
    case ErrorCode::UnexpectedEndOfHexEscape: return "unexpected end of hex escape";
    case ErrorCode::RecursionLimitExceeded: return "recursion limit exceeded";
  }
  return "";
}

namespace {

void append_u64(std::string& out, std::uint64_t v) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, res.ptr);
}

void append_i64(std::string& out, std::int64_t v) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, res.ptr);
}

}  // namespace

std::string Error::to_string() const {
  if (line == 0) return message;
  std::string out = message;
  out += " at line ";
  append_u64(out, line);
  out += " column ";
  append_u64(out, column);
  return out;
}

Error Error::invalid_type(std::string_view found, std::string_view expected) {
  std::string m = "invalid type: ";
  m += found;
  m += ", expected ";
  m += expected;
  return Error{std::move(m)};
}

Error Error::invalid_value(std::string_view found, std::string_view expected) {
  std::string m = "invalid value: ";
  m += found;
  m += ", expected ";
  m += expected;
  return Error{std::move(m)};
}

Error Error::invalid_length(std::uint64_t n, std::string_view expected) {
  std::string m = "invalid length ";
  append_u64(m, n);
  m += ", expected ";
  m += expected;
  return Error{std::move(m)};
}

Error Error::unknown_variant(std::string_view variant, std::span<const std::string_view> choices) {
  std::string m = "unknown variant `";
  m += variant;
  if (choices.empty()) return Error{m + "`, there are no variants"};
  m += "`, expected ";
  if (choices.size() == 1) {
    m += '`';
    m += choices[0];
    m += '`';
  } else if (choices.size() == 2) {
    m += '`';
    m += choices[0];
    m += "` or `";
    m += choices[1];
    m += '`';
  } else {
    m += "one of ";
    for (std::size_t i = 0; i < choices.size(); ++i) {
      if (i > 0) m += ", ";
      m += '`';
      m += choices[i];
      m += '`';
    }
  }
  return Error{std::move(m)};
}

Error Error::missing_field(std::string_view name) {
  std::string m = "missing field `";
  m += name;
  m += '`';
  return Error{std::move(m)};
}

Error Error::duplicate_field(std::string_view name) {
  std::string m = "duplicate field `";
  m += name;
  m += '`';
  return Error{std::move(m)};
}

std::string describe_u64(std::uint64_t v) {
  std::string s = "integer `";
  append_u64(s, v);
  s += '`';
  return s;
}

std::string describe_i64(std::int64_t v) {
  std::string s = "integer `";
  append_i64(s, v);
  s += '`';
  return s;
}

std::string describe_f64(double v) {
  std::string s = "floating point `";
  append_plain_f64(s, v);
  s += '`';
  return s;
}

std::string describe_bool(bool v) { return v ? "boolean `true`" : "boolean `false`"; }

std::string describe_string(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string s = "string \"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': s += "\\\""; break;
      case '\\': s += "\\\\"; break;
      case '\n': s += "\\n"; break;
      case '\r': s += "\\r"; break;
      case '\t': s += "\\t"; break;
      case '\0': s += "\\0"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          s += "\\u{";
          if (c >= 0x10) s += kHex[c >> 4];
          s += kHex[c & 15];
          s += '}';
        } else {
          s += static_cast<char>(c);
        }
    }
  }
  s += '"';
  return s;
}

std::string struct_with_elements(std::string_view struct_name, std::size_t count) {
  std::string s = "struct ";
  s += struct_name;
  s += " with ";
  append_u64(s, count);
  s += count == 1 ? " element" : " elements";
  return s;
}

}  // namespace vsci::json
