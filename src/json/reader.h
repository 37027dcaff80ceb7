// json::Reader: a pull reader over JSON text, and json::parse, which reads a
// whole text into a document tree with the same tokenizer.
//
// Typed records are read straight from the text with the Reader: peek() at the
// next significant byte, read scalars with read_f64/read_i64/read_u64/read_u32/
// read_bool/read_str, walk containers with begin_array + next_element (+
// end_array for fixed-length forms) and begin_object + next_member, skip what
// is not wanted with skip_value, or take a subtree with read_value. typed.h
// holds read_record, which handles object form, array form, unknown, repeated
// and missing members for a declared field list. Call finish() after the
// top-level value to refuse trailing characters.
//
// Every failure is a json::Error carrying the position where reading stopped:
// `locate` puts it at the last consumed byte (after a token: its last byte),
// `locate_peek` at the next significant byte (at the end of input: the byte
// count of the last line). Arrays and objects nest at most 127 levels; the
// 128th opening bracket fails with "recursion limit exceeded".
//
// A long read looks for a stop of the command every few MB it walks
// (util/interrupt.h): once the command is asked to stop, reading throws
// Interrupted.
//
// A Reader borrows the text, which must outlive it. One Reader per thread.
#pragma once

#include <bitset>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "json/error.h"
#include "json/value.h"
#include "util/expected.h"
#include "util/interrupt.h"

namespace vsci::json {

inline constexpr int kMaxDepth = 127;

// Whitespace as JSON counts it.
[[gnu::always_inline]] inline bool is_blank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

class Reader {
 public:
  static constexpr int kEof = -1;

  explicit Reader(std::string_view text) : p_(text.data()), n_(text.size()), reserve_budget_(text.size() / 2) {}
  // A reader of a piece of a longer text that begins with an element of a
  // container open `depth` levels deep there: the element is read straight
  // away, its values nest from that depth, and next_element goes on after it
  // in that container.
  Reader(std::string_view text, int depth) : Reader(text) { resume_after_element(0, depth); }

  // The next byte after whitespace, not consumed; kEof at the end of input.
  int peek() {
    while (pos_ < n_ && is_blank(p_[pos_])) ++pos_;
    return pos_ < n_ ? static_cast<unsigned char>(p_[pos_]) : kEof;
  }
  // Consumes the byte peek() returned.
  void advance() { ++pos_; }
  std::size_t offset() const { return pos_; }
  // Bytes of text after the cursor.
  std::size_t remaining() const { return n_ - pos_; }
  // The whole text being read.
  std::string_view text() const { return {p_, n_}; }

  // Whole values at the current position.
  Expected<Value, Error> read_value();
  Expected<void, Error> skip_value();

  // Scalars. A value of another JSON type fails with "invalid type: {found},
  // expected {expected}"; an integer outside the target range with "invalid
  // value: integer `N`, expected {expected}". read_f64 takes any number.
  Expected<double, Error> read_f64(std::string_view expected = "f64");
  Expected<std::int64_t, Error> read_i64(std::string_view expected = "i64");
  Expected<std::uint64_t, Error> read_u64(std::string_view expected = "u64");
  Expected<std::uint32_t, Error> read_u32(std::string_view expected = "u32");
  Expected<bool, Error> read_bool(std::string_view expected = "a boolean");
  // The decoded string; the view stays valid until the next read.
  Expected<std::string_view, Error> read_str(std::string_view expected = "a string");
  // Consumes a `null` when one comes next and says whether it did.
  Expected<bool, Error> read_null();

  // Containers. begin_* expect peek() to have returned '[' or '{'.
  Expected<void, Error> begin_array();
  // True when an element follows (read or skip it next); false once the closing
  // bracket is consumed.
  Expected<bool, Error> next_element();
  // Closes an array after its last wanted element: more elements fail with
  // "trailing characters" (or "trailing comma" before the bracket).
  Expected<void, Error> end_array();
  Expected<void, Error> begin_object();
  // True with `key` set (the colon consumed, the value next); false once the
  // closing brace is consumed. `key` stays valid until the next read.
  Expected<bool, Error> next_member(std::string_view& key);

  // Fast paths for records in the compact layouts the system and users'
  // tools (json.dumps) write. Each takes its token only when the text right
  // at the cursor (no whitespace skipped) is exactly that token, well-formed,
  // and consumes nothing otherwise. A caller that meets something else
  // rewinds to where it began (no container opened or closed in between) and
  // reads the same text the general way, which gives every message and
  // position.
  [[gnu::always_inline]] bool try_literal(std::string_view token) {
    if (n_ - pos_ < token.size() || std::memcmp(p_ + pos_, token.data(), token.size()) != 0) return false;
    pos_ += token.size();
    return true;
  }
  // A number that read_f64 (read_i64) would accept.
  bool try_f64(double& out);
  bool try_i64(std::int64_t& out);
  void rewind(std::size_t offset) { pos_ = offset; }
  // Inside an array (or object) open at `depth` (at most the current depth):
  // puts the cursor at `offset`, right after an element (a member's value)
  // of it, as if every element before had been read here and whatever this
  // reader opened inside them closed. Lets a list whose first elements were
  // read apart (in pieces), or one whose element was read another way, go on
  // with next_element (next_member).
  void resume_after_element(std::size_t offset, int depth) {
    pos_ = offset;
    depth_ = depth;
    first_[static_cast<std::size_t>(depth_)] = false;
  }
  // Open arrays and objects around the cursor.
  int depth() const { return depth_; }

  // After the top-level value: only whitespace may follow.
  Expected<void, Error> finish();

  // Describes the next value for an invalid-type message, consuming it when it
  // is a scalar; gives the syntax error instead when the value is malformed.
  Error invalid_type(std::string_view expected);

  Error locate(Error e) const { return at(std::move(e), pos_); }
  Error locate_peek(Error e) const { return at(std::move(e), pos_ < n_ ? pos_ + 1 : n_); }
  // At the closing quote of the key last returned by next_member.
  Error locate_key(Error e) const { return at(std::move(e), key_end_); }
  Error error(ErrorCode c) const { return locate(Error{std::string(syntax_message(c))}); }
  Error peek_error(ErrorCode c) const { return locate_peek(Error{std::string(syntax_message(c))}); }

 private:
  struct Number {
    Kind kind;  // U64, I64 or F64
    std::uint64_t u;
    std::int64_t i;
    double d;
    double to_f64() const {
      return kind == Kind::U64 ? static_cast<double>(u) : kind == Kind::I64 ? static_cast<double>(i) : d;
    }
  };

  // Looks for a stop once the cursor passed next_stop_check_, then sets the
  // next one kStopCheckBytes on.
  void look_for_stop();
  // Positions the error after the first `prefix` bytes of the text.
  Error at(Error e, std::size_t prefix) const;

  // With Build, fills *out, which is null on entry.
  template <bool Build>
  Expected<void, Error> parse_value(Value* out);
  template <bool Build>
  Expected<void, Error> parse_array(Value* out);
  void reserve_rest(Value::Array& items, std::size_t start);
  template <bool Build>
  Expected<void, Error> parse_object(Value* out);
  Expected<void, Error> enter(); // depth check at a peeked bracket, then consumes it
  Expected<void, Error> literal(const char* rest);  // after the first byte was consumed
  Expected<std::string_view, Error> scan_string();  // at the opening quote
  // The general forms behind the compact-text fast paths, kept out of line.
  Expected<std::string_view, Error> scan_string_general();
  Expected<bool, Error> next_element_general();
  Expected<bool, Error> next_member_general(std::string_view& key);
  // The offset of the closing quote of the string opening at `quote` when it
  // holds printable ASCII only (no escapes), else 0.
  std::size_t plain_string_end(std::size_t quote) const;
  Expected<void, Error> scan_escape();
  Expected<std::uint32_t, Error> hex4();
  bool plain_number(Number& num);
  // Scans a number token; with Convert, also gives its value.
  template <bool Convert>
  Expected<Number, Error> scan_number();
  Expected<Number, Error> read_number(std::string_view expected);

  const char* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
  std::size_t key_end_ = 0;
  int depth_ = 0;
  std::bitset<kMaxDepth + 1> first_;  // per open container: no element seen yet
  std::string scratch_;
  // Per depth: the size of the last container finished there.
  static constexpr std::size_t kMaxSizeHint = 64;
  std::uint32_t size_hint_[kMaxDepth + 1] = {};
  // Elements that arrays may still reserve ahead of their data, shared by all
  // depths: one per two bytes of text at most, so nesting cannot multiply it.
  std::size_t reserve_budget_ = 0;
  // Every element and member passes here: a stop is looked for by bytes read,
  // a compare per element, so that its delay does not grow with the text.
  std::size_t next_stop_check_ = kStopCheckBytes;
};

// The whole text as one value, followed by whitespace only.
Expected<Value, Error> parse(std::string_view text);

// Walks the value at the cursor reading every number to its double, so that
// it fails wherever parse would (an out-of-range number included).
bool skip_checked(Reader& r);
// Whether `text` is one JSON value, as parse would accept it.
bool is_valid_json(std::string_view text);

}  // namespace vsci::json
