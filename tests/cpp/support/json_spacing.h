// JSON text laid out again the way Python's json.dumps lays it out: a blank
// after every "," and ":" (its default separators), or one member or element
// a line, indented by depth (indent=2, an empty container kept as [] or {}).
// Blanks already outside strings are dropped first, so a text already spaced
// comes out the same. Works on any bytes, JSON or not: strings are told by
// their quotes and backslashes, containers by their brackets, so a faulted
// text is re-spaced as far as its brackets go. Pure functions.
#pragma once

#include <string>
#include <string_view>

namespace vsci::testing {

enum class Spacing { Separators, Indent };

inline std::string respaced(std::string_view text, Spacing how) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  const auto is_blank = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
  const auto newline = [&](int depth) {
    out += '\n';
    out.append(static_cast<std::size_t>(2 * (depth < 0 ? 0 : depth)), ' ');
  };
  bool in_string = false;
  int depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      out += c;
      if (c == '\\' && i + 1 < text.size()) {
        out += text[++i];
      } else if (c == '"') {
        in_string = false;
      }
      continue;
    }
    if (is_blank(c)) continue;
    if (c == '"') in_string = true;
    if (how == Spacing::Separators) {
      out += c;
      if (c == ',' || c == ':') out += ' ';
      continue;
    }
    // The next byte that is not blank, to keep an empty container whole.
    std::size_t j = i + 1;
    while (j < text.size() && is_blank(text[j])) ++j;
    const char next = j < text.size() ? text[j] : '\0';
    if (c == '[' || c == '{') {
      out += c;
      ++depth;
      if (next != (c == '[' ? ']' : '}')) newline(depth);
    } else if (c == ']' || c == '}') {
      --depth;
      const char last = out.empty() ? '\0' : out.back();
      if (last != (c == ']' ? '[' : '{')) newline(depth);
      out += c;
    } else if (c == ',') {
      out += c;
      newline(depth);
    } else if (c == ':') {
      out += ": ";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace vsci::testing
