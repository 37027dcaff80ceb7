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
#include "util/interrupt.h"
#include "util/parallel.h"

namespace vsci::json {

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
  // put(p, i), which writes at most `max_bytes` at p and returns the end. A
  // long run is written in pieces on the worker pool (see RawRun); `put` must
  // then be safe to call from several threads at once. Either way a long run
  // looks for the command's stop, and ends with Interrupted once one was
  // asked for.
  template <class Put>
  void raw_values(std::size_t count, std::size_t max_bytes, const Put& put);
  // Copies text that is already JSON (a name with its quotes and colon,
  // punctuation) to `p`, which points into such room.
  static char* put_text(char* p, std::string_view json) {
    std::memcpy(p, json.data(), json.size());
    return p + json.size();
  }
  // Writes `s` as a string literal, quotes included, at `p`, which has
  // string_room(s.size()) bytes of room: every byte as \u00xx, and quotes.
  static char* put_string(char* p, std::string_view s);
  static constexpr std::size_t string_room(std::size_t n) { return 6 * n + 2; }

  // For callers that know roughly how much they will write (a candle list
  // takes about 150 bytes per candle): saves regrowing a large buffer.
  void reserve(std::size_t bytes);

  // How many bytes are written so far.
  std::size_t size() const { return len_; }
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
  // The spare room a buffer of `len` bytes is given past what it needs.
  static std::size_t slice_after(std::size_t len) {
    return std::clamp<std::size_t>(len / 4, 256, std::size_t{1} << 20);
  }
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

// Values written one after another, a comma between each two, by put(p, i)
// as for Writer::raw_values: measured in pieces on the worker pool first, then
// written by the pieces straight into their places, so that no copy of the
// text is ever held beside it and the text is the same whatever the number of
// threads. Keeps a reference to `put`.
template <class Put>
class RawRun {
 public:
  RawRun(std::size_t count, std::size_t max_bytes, const Put& put)
      : count_(count), max_bytes_(max_bytes), put_(put), at_(pieces() + 1, 0) {
    for_each_piece(pieces(), [&](std::size_t k) {
      std::string scratch(max_bytes_, '\0');
      std::size_t bytes = 0;
      for (std::size_t i = first(k); i < first(k + 1); ++i) {
        bytes += static_cast<std::size_t>(put_(scratch.data(), i) - scratch.data()) + (i > 0 ? 1 : 0);
      }
      at_[k + 1] = bytes;
    });
    for (std::size_t k = 0; k < pieces(); ++k) at_[k + 1] += at_[k];
  }

  std::size_t size() const { return at_.back(); }

  // Writes exactly size() bytes at `out`. A value that might reach past its
  // piece's end is written aside first: put may use its whole room.
  void write(char* out) const {
    for_each_piece(pieces(), [&](std::size_t k) {
      std::string scratch(max_bytes_, '\0');
      char* p = out + at_[k];
      char* const end = out + at_[k + 1];
      for (std::size_t i = first(k); i < first(k + 1); ++i) {
        if (i > 0) *p++ = ',';
        if (static_cast<std::size_t>(end - p) >= max_bytes_) {
          p = put_(p, i);
        } else {
          const char* q = put_(scratch.data(), i);
          const auto n = static_cast<std::size_t>(q - scratch.data());
          std::memcpy(p, scratch.data(), n);
          p += n;
        }
      }
    });
  }

 private:
  static constexpr std::size_t kPieceValues = std::size_t{1} << 14;
  std::size_t pieces() const { return (count_ + kPieceValues - 1) / kPieceValues; }
  std::size_t first(std::size_t k) const { return std::min(count_, k * kPieceValues); }

  std::size_t count_;
  std::size_t max_bytes_;
  const Put& put_;
  std::vector<std::size_t> at_;  // where each piece starts, and the end
};

template <class Put>
void Writer::raw_values(std::size_t count, std::size_t max_bytes, const Put& put) {
  if (count < kParallelMinItems || !pieces_pay_off()) {
    // Written here, a long run is a long walk over text: it looks for a stop
    // as a read does.
    std::size_t next_stop_check = len_ + kStopCheckBytes;
    for (std::size_t i = 0; i < count; ++i) {
      raw_end(put(raw_begin(max_bytes), i));
      if (len_ >= next_stop_check) {
        check_interrupt_seldom();
        next_stop_check = len_ + kStopCheckBytes;
      }
    }
    return;
  }
  const RawRun<Put> run(count, max_bytes, put);
  // The room is zero-filled before it is written: its pages are mapped in
  // pieces first. What follows the run gets a slice of room, as from grow(),
  // which costs nothing unwritten: room to the byte would have the next value
  // move the whole text (a changed strategy's 138 MB diff held twice).
  const std::size_t end = len_ + run.size() + 2;
  reserve(end + slice_after(end));
  touch_pages(out_.data() + len_, run.size() + 2);
  char* const p = value_room(run.size());
  run.write(p);
  commit(p + run.size());
}

// The compact text of a document tree.
std::string write(const Value& v);

}  // namespace vsci::json
