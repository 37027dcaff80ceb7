// Compact JSON writing (no whitespace anywhere).
//
// json::write(value) writes a document tree, objects in key order. A Writer
// streams typed records in their declared member order without building a
// tree:
//   json::Writer w;
//   w.begin_object(); w.key("time"); w.i64(t); w.key("close"); w.f64(c); w.end_object();
//   std::string text = w.take();
// Separators are placed automatically. Floats use append_f64 (number_format.h):
// non-finite is null, "0.0", "1e+16", ...; integers are plain decimal; strings
// escape quote, backslash and bytes below 0x20 only. Writing never fails.
// A Writer is a plain object for one thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "json/value.h"
#include "util/parallel.h"

namespace vsci::json {

// Appends `s` as a JSON string literal, quotes included.
void append_string(std::string& out, std::string_view s);

class Writer {
 public:
  Writer() = default;

  void begin_object() { open('{'); }
  void end_object() { close('}'); }
  void begin_array() { open('['); }
  void end_array() { close(']'); }
  // The next member's name; its value follows.
  void key(std::string_view name);

  void null();
  void boolean(bool b);
  void u64(std::uint64_t v);
  void i64(std::int64_t v);
  void f64(double v);
  void string(std::string_view s);
  void value(const Value& v);
  // Inserts already-written JSON text as one value.
  void raw(std::string_view json);

  // Writes one value of at most `max_bytes` straight into the buffer, for
  // records written often enough to bypass the calls above: raw_begin places
  // the separator and gives where the value starts, raw_end takes the end of
  // what was written there.
  char* raw_begin(std::size_t max_bytes) { return value_room(max_bytes); }
  void raw_end(char* end) { commit(end); }

  // Writes `count` values as raw_begin/raw_end would one by one, the i-th by
  // put(p, i), which writes at most `max_bytes` at p and returns the end;
  // about `usual_bytes` each is reserved. A long run is written in pieces on
  // the worker pool, each into a buffer of its own, then copied in order, so
  // the text is the same whatever the number of threads; `put` must be safe
  // to call from several threads at once.
  template <class Put>
  void raw_values(std::size_t count, std::size_t usual_bytes, std::size_t max_bytes, const Put& put);
  // Copies text that is already JSON (a name with its quotes and colon,
  // punctuation) to `p`, which points into such room.
  static char* put_text(char* p, std::string_view json) {
    std::memcpy(p, json.data(), json.size());
    return p + json.size();
  }

  // For callers that know roughly how much they will write (a candle list
  // takes about 150 bytes per candle): saves regrowing a large buffer.
  void reserve(std::size_t bytes);

  // The text so far; the reference is good until the next write.
  const std::string& text() const {
    out_.resize(len_);
    return out_;
  }
  std::string take() {
    out_.resize(len_);
    len_ = 0;
    return std::move(out_);
  }

 private:
  // out_ holds the len_ bytes written so far followed by spare room, so a
  // value is written through a plain pointer after one room check.
  char* room(std::size_t n) {
    if (out_.size() - len_ < n) grow(n);
    return out_.data() + len_;
  }
  void commit(char* end) { len_ = static_cast<std::size_t>(end - out_.data()); }
  void grow(std::size_t n);
  // Room for `n` bytes after the separator the next value needs.
  char* value_room(std::size_t n) {
    char* p = room(n + 1);
    if (need_comma_) *p++ = ',';
    need_comma_ = true;
    return p;
  }
  void open(char c) {
    char* p = value_room(1);
    *p++ = c;
    commit(p);
    need_comma_ = false;
  }
  void close(char c) {
    char* p = room(1);
    *p++ = c;
    commit(p);
    need_comma_ = true;
  }
  void put_value(const Value& v);

  mutable std::string out_;
  std::size_t len_ = 0;
  bool need_comma_ = false;
};

template <class Put>
void Writer::raw_values(std::size_t count, std::size_t usual_bytes, std::size_t max_bytes, const Put& put) {
  if (count < kParallelMinItems) {
    for (std::size_t i = 0; i < count; ++i) raw_end(put(raw_begin(max_bytes), i));
    return;
  }
  constexpr std::size_t kPieceValues = std::size_t{1} << 14;
  const std::size_t pieces = (count + kPieceValues - 1) / kPieceValues;
  // Every value of a piece is written with its leading comma; the first
  // value's is dropped below when it needs none.
  std::vector<std::string> texts(pieces);
  for_each_piece(pieces, [&](std::size_t k) {
    const std::size_t end = std::min(count, (k + 1) * kPieceValues);
    Writer w;
    w.reserve((end - k * kPieceValues) * (usual_bytes + 1) + max_bytes + 1);
    w.need_comma_ = true;
    for (std::size_t i = k * kPieceValues; i < end; ++i) w.raw_end(put(w.raw_begin(max_bytes), i));
    texts[k] = w.take();
  });
  const std::size_t skip = need_comma_ ? 0 : 1;
  std::vector<std::size_t> at(pieces + 1, 0);
  for (std::size_t k = 0; k < pieces; ++k) at[k + 1] = at[k] + texts[k].size() - (k == 0 ? skip : 0);
  char* const base = room(at[pieces]);
  for_each_piece(pieces, [&](std::size_t k) {
    const std::size_t from = k == 0 ? skip : 0;
    std::memcpy(base + at[k], texts[k].data() + from, texts[k].size() - from);
    std::string().swap(texts[k]);
  });
  commit(base + at[pieces]);
  need_comma_ = true;
}

// The compact text of a document tree.
std::string write(const Value& v);

}  // namespace vsci::json
