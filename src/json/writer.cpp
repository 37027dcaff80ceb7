#include "json/writer.h"

#include <charconv>
#include <cstring>

#include "json/number_format.h"

namespace vsci::json {
namespace {

// 0: copy as is; otherwise the letter of a short escape, or 'u' for \u00xx.
struct EscapeTable {
  char e[256];
  constexpr EscapeTable() : e() {
    for (int c = 0; c < 0x20; ++c) e[c] = 'u';
    e['\b'] = 'b';
    e['\t'] = 't';
    e['\n'] = 'n';
    e['\f'] = 'f';
    e['\r'] = 'r';
    e['"'] = '"';
    e['\\'] = '\\';
  }
};
constexpr EscapeTable kEscape;

void write_value(std::string& out, const Value& v) {
  switch (v.kind()) {
    case Kind::Null: out += "null"; return;
    case Kind::Bool: out += v.as_bool() ? "true" : "false"; return;
    case Kind::U64: {
      char buf[24];
      auto r = std::to_chars(buf, buf + sizeof buf, v.as_u64());
      out.append(buf, r.ptr);
      return;
    }
    case Kind::I64: {
      char buf[24];
      auto r = std::to_chars(buf, buf + sizeof buf, v.as_i64());
      out.append(buf, r.ptr);
      return;
    }
    case Kind::F64: append_f64(out, v.as_f64()); return;
    case Kind::String: append_string(out, v.as_string()); return;
    case Kind::Array: {
      out += '[';
      bool first = true;
      for (const Value& item : v.as_array()) {
        if (!first) out += ',';
        first = false;
        write_value(out, item);
      }
      out += ']';
      return;
    }
    case Kind::Object: {
      out += '{';
      bool first = true;
      for (const Value::Member& m : v.as_object()) {
        if (!first) out += ',';
        first = false;
        append_string(out, m.key);
        out += ':';
        write_value(out, m.value);
      }
      out += '}';
      return;
    }
  }
}

}  // namespace

void append_string(std::string& out, std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  std::size_t run = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const char esc = kEscape.e[c];
    if (esc == 0) continue;
    out.append(s.data() + run, i - run);
    run = i + 1;
    out += '\\';
    out += esc;
    if (esc == 'u') {
      out += "00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  out.append(s.data() + run, s.size() - run);
  out += '"';
}

void Writer::key(std::string_view name) {
  if (need_comma_) out_ += ',';
  bool plain = true;
  for (char c : name) plain &= kEscape.e[static_cast<unsigned char>(c)] == 0;
  if (plain) {
    // Member names are nearly always plain: one append instead of several.
    const std::size_t at = out_.size();
    out_.resize(at + name.size() + 3);
    char* p = out_.data() + at;
    *p++ = '"';
    std::memcpy(p, name.data(), name.size());
    p += name.size();
    *p++ = '"';
    *p = ':';
  } else {
    append_string(out_, name);
    out_ += ':';
  }
  need_comma_ = false;
}

void Writer::null() {
  separate();
  out_ += "null";
}

void Writer::boolean(bool b) {
  separate();
  out_ += b ? "true" : "false";
}

void Writer::u64(std::uint64_t v) {
  separate();
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out_.append(buf, r.ptr);
}

void Writer::i64(std::int64_t v) {
  separate();
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out_.append(buf, r.ptr);
}

void Writer::f64(double v) {
  separate();
  append_f64(out_, v);
}

void Writer::string(std::string_view s) {
  separate();
  append_string(out_, s);
}

void Writer::value(const Value& v) {
  separate();
  write_value(out_, v);
}

void Writer::raw(std::string_view json) {
  separate();
  out_ += json;
}

std::string write(const Value& v) {
  std::string out;
  out.reserve(128);
  write_value(out, v);
  return out;
}

}  // namespace vsci::json
