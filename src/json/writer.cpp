// Typed records are written without a tree and writing never fails; the buffer
// grows in large steps, since results run to many megabytes.
#include "json/writer.h"

#include <algorithm>
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

char* put_bytes(char* p, const char* s, std::size_t n) {
  std::memcpy(p, s, n);
  return p + n;
}

}  // namespace

// Plain strings (nearly all: member names, symbols) are copied in the same
// pass that checks them.
char* Writer::put_string(char* p, std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  *p++ = '"';
  const char* q = s.data();
  const std::size_t n = s.size();
  std::size_t i = 0;
  for (; i < n && kEscape.e[static_cast<unsigned char>(q[i])] == 0; ++i) p[i] = q[i];
  p += i;
  std::size_t run = i;
  for (; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(q[i]);
    const char esc = kEscape.e[c];
    if (esc == 0) continue;
    p = put_bytes(p, q + run, i - run);
    run = i + 1;
    *p++ = '\\';
    *p++ = esc;
    if (esc == 'u') {
      *p++ = '0';
      *p++ = '0';
      *p++ = kHex[c >> 4];
      *p++ = kHex[c & 15];
    }
  }
  p = put_bytes(p, q + run, n - run);
  *p++ = '"';
  return p;
}

void Writer::grow(std::size_t n) {
  const std::size_t need = len_ + n;
  // The spare room is zero-filled by resize, so it is added a slice at a time
  // rather than up to the whole capacity.
  std::size_t target = need + slice_after(len_);
  if (need <= out_.capacity()) {
    // Reserved room is used up before the buffer moves.
    target = std::min(target, out_.capacity());
  } else {
    // Large buffers grow fourfold: each move copies the text and touches fresh
    // pages, while capacity never written to costs no memory.
    const std::size_t factor = out_.capacity() >= (std::size_t{1} << 20) ? 4 : 2;
    out_.resize(len_);  // only the written bytes move to the new buffer
    out_.reserve(std::max(target, factor * out_.capacity()));
  }
  out_.resize(target);
}

void Writer::reserve(std::size_t bytes) {
  if (bytes > out_.capacity()) {
    out_.resize(len_);
    out_.reserve(bytes);
  }
}

void Writer::key(std::string_view name) {
  char* p = room(string_room(name.size()) + 2);
  if (need_comma_) *p++ = ',';
  p = put_string(p, name);
  *p++ = ':';
  commit(p);
  need_comma_ = false;
}

void Writer::null() { commit(put_bytes(value_room(4), "null", 4)); }

void Writer::boolean(bool b) { commit(b ? put_bytes(value_room(4), "true", 4) : put_bytes(value_room(5), "false", 5)); }

void Writer::u64(std::uint64_t v) {
  commit(write_u64(value_room(kMaxIntChars), v));
}

void Writer::i64(std::int64_t v) { commit(write_i64(value_room(kMaxIntChars), v)); }

void Writer::f64(double v) { commit(write_f64(value_room(kMaxF64Chars), v)); }

void Writer::string(std::string_view s) { commit(put_string(value_room(string_room(s.size())), s)); }

void Writer::value(const Value& v) {
  commit(value_room(0));
  put_value(v);
}

void Writer::raw(std::string_view json) {
  // A large text (a blessed test's expected document) lands in reserved room
  // no one has written: its pages are mapped in pieces first.
  if (out_.capacity() - len_ > json.size() + 1) touch_pages(out_.data() + len_, json.size() + 2);
  commit(put_bytes(value_room(json.size()), json.data(), json.size()));
}

// Writes a tree value at the current position, separators inside it included.
void Writer::put_value(const Value& v) {
  switch (v.kind()) {
    case Kind::Null: commit(put_bytes(room(4), "null", 4)); return;
    case Kind::Bool: commit(v.as_bool() ? put_bytes(room(4), "true", 4) : put_bytes(room(5), "false", 5)); return;
    case Kind::U64: commit(write_u64(room(kMaxIntChars), v.as_u64())); return;
    case Kind::I64: commit(write_i64(room(kMaxIntChars), v.as_i64())); return;
    case Kind::F64: commit(write_f64(room(kMaxF64Chars), v.as_f64())); return;
    case Kind::String: {
      const std::string& s = v.as_string();
      commit(put_string(room(string_room(s.size())), s));
      return;
    }
    case Kind::Array: {
      const Value::Array& items = v.as_array();
      char* p = room(1);
      *p++ = '[';
      commit(p);
      for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
          p = room(1);
          *p++ = ',';
          commit(p);
        }
        put_value(items[i]);
      }
      p = room(1);
      *p++ = ']';
      commit(p);
      return;
    }
    case Kind::Object: {
      const Value::Object& members = v.as_object();
      char* p = room(1);
      *p++ = '{';
      commit(p);
      for (std::size_t i = 0; i < members.size(); ++i) {
        const std::string& key = members[i].key;
        p = room(string_room(key.size()) + 2);
        if (i > 0) *p++ = ',';
        p = put_string(p, key);
        *p++ = ':';
        commit(p);
        put_value(members[i].value);
      }
      p = room(1);
      *p++ = '}';
      commit(p);
      return;
    }
  }
}

std::string write(const Value& v) {
  Writer w;
  w.value(v);
  return w.take();
}

}  // namespace vsci::json
