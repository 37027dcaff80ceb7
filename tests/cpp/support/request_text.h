// Helpers for request-reading tests: a small valid strategy text, request
// builders, and the position suffix of a byte in a text, computed from the
// text itself (line from 1, column = 1-based byte position in its line).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "engine/request.h"

namespace vsci::testing {

// A strategy with no indicators and only the required members.
inline const std::string kSpec =
    R"({"symbol":"BTC","timeframe":"1h","indicators":{},"entry":{"all":[]},"exit":{"any":[]},)"
    R"("sizing":{"type":"fixed_qty","qty":1}})";

inline const std::string kOneCandle = R"([{"time":1,"open":1,"high":2,"low":0.5,"close":1.5,"volume":3}])";

inline std::string request_with(const std::string& members, const std::string& spec = kSpec,
                                const std::string& candles = kOneCandle) {
  return R"({"spec":)" + spec + R"(,"candles":)" + candles + (members.empty() ? "" : "," + members) + "}";
}

// The small strategy with member `name` set to `value` (replaced in place, or
// added at the end).
inline std::string spec_set(const std::string& name, const std::string& value) {
  const std::pair<std::string, std::string> members[] = {
      {"symbol", R"("BTC")"},        {"timeframe", R"("1h")"},        {"indicators", "{}"},
      {"entry", R"({"all":[]})"},    {"exit", R"({"any":[]})"},      {"sizing", R"({"type":"fixed_qty","qty":1})"},
  };
  std::string s = "{";
  bool replaced = false;
  for (const auto& [k, v] : members) {
    s += (s.size() > 1 ? ",\"" : "\"") + k + "\":" + (k == name ? value : v);
    replaced |= k == name;
  }
  if (!replaced) s += ",\"" + name + "\":" + value;
  return s + "}";
}

// A spec with `extra` members added after the required ones.
inline std::string spec_with(const std::string& extra) {
  std::string s = kSpec;
  s.pop_back();
  return s + "," + extra + "}";
}

// " at line L column C" for the byte at `index`.
inline std::string at_byte(std::string_view text, std::size_t index) {
  std::size_t line = 1, line_start = 0;
  for (std::size_t i = 0; i < index; ++i) {
    if (text[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  return " at line " + std::to_string(line) + " column " + std::to_string(index - line_start + 1);
}

// The index of the first byte of the `nth` (from 0) occurrence of `marker`.
inline std::size_t first_byte(std::string_view text, std::string_view marker, int nth = 0) {
  std::size_t pos = text.find(marker);
  for (int k = 0; k < nth && pos != std::string_view::npos; ++k) pos = text.find(marker, pos + 1);
  if (pos == std::string_view::npos) throw std::logic_error("marker not in text: " + std::string(marker));
  return pos;
}

inline std::size_t last_byte(std::string_view text, std::string_view marker, int nth = 0) {
  return first_byte(text, marker, nth) + marker.size() - 1;
}

// The last byte of the first `marker` after the first `anchor`.
inline std::size_t last_byte_after(std::string_view text, std::string_view anchor, std::string_view marker) {
  const std::size_t from = first_byte(text, anchor) + anchor.size();
  return from + last_byte(text.substr(from), marker);
}

// The text of read_run_request's failure, or "<ok>".
inline std::string read_error(const std::string& text) {
  auto r = read_run_request(text);
  return r.ok() ? "<ok>" : r.error().to_string();
}

inline RunRequest read_ok(const std::string& text) {
  auto r = read_run_request(text);
  if (!r.ok()) throw std::runtime_error("read failed: " + r.error().to_string());
  return std::move(r).value();
}

inline const std::string kPrefix = "invalid strategy spec: ";

}  // namespace vsci::testing
