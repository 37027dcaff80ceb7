// Typed reading of records and scalars, from JSON text (through a Reader, with
// positions) and from a document tree (no positions), with one set of messages.
//
// A record is declared as a name and its fields in declared order:
//   constexpr json::Field kCandleFields[] = {{"time", true}, {"open", true}, ...,
//                                            {"volume", false}};
//   constexpr json::Record kCandle{"Candle", kCandleFields};
// read_record then accepts
//  - an object: members by exact name in any order, unknown members skipped,
//    "duplicate field `x`" at a repeated member, "missing field `x`" for the
//    first required member absent in declared order;
//  - an array: element k is field k; when it ends before a required field,
//    "invalid length K, expected struct Candle with 6 elements" (K = that
//    field's index); surplus elements fail with "trailing characters" (text)
//    or "invalid length N, expected fewer elements in array" (tree);
//  - anything else: "invalid type: {found}, expected struct Candle".
// The callback reads field i's value (`read_field(i, reader)` or
// `read_field(i, value)`); absent optional fields keep whatever the caller
// initialised them to. Records are limited to 64 fields.
//
// The tree getters (get_f64, get_i64, ...) mirror the Reader's scalar reads.
// Pure functions over their arguments; thread-safe.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "json/error.h"
#include "json/reader.h"
#include "json/value.h"
#include "util/expected.h"

namespace vsci::json {

struct Field {
  std::string_view name;
  bool required;
};

struct Record {
  std::string_view name;
  std::span<const Field> fields;

  // Index of the field called `key`, or -1. Names of one length mostly
  // differ in their first byte, which is looked at before the rest.
  int find(std::string_view key) const {
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const std::string_view name = fields[i].name;
      if (name.size() == key.size() && (key.empty() || name[0] == key[0]) && name == key) return static_cast<int>(i);
    }
    return -1;
  }
  std::string expectation() const { return "struct " + std::string(name); }
  // The "invalid length" error for an array ending before field `from`, or
  // nothing when no required field is missing from there on.
  bool first_required_from(std::size_t from, std::size_t& index) const {
    for (std::size_t i = from; i < fields.size(); ++i) {
      if (fields[i].required) {
        index = i;
        return true;
      }
    }
    return false;
  }
};

// The "found" text of a tree value, as in invalid-type messages.
std::string describe(const Value& v);

// Tree scalars. Numbers of any literal class convert to f64; integers must be
// integer literals in range.
Expected<double, Error> get_f64(const Value& v, std::string_view expected = "f64");
Expected<std::int64_t, Error> get_i64(const Value& v, std::string_view expected = "i64");
Expected<std::uint64_t, Error> get_u64(const Value& v, std::string_view expected = "u64");
Expected<std::uint32_t, Error> get_u32(const Value& v, std::string_view expected = "u32");
Expected<std::string_view, Error> get_str(const Value& v, std::string_view expected = "a string");
// The array's items, or "invalid type: {found}, expected {expected}".
Expected<const Value::Array*, Error> get_array(const Value& v, std::string_view expected = "a sequence");
Expected<const Value::Object*, Error> get_object(const Value& v, std::string_view expected = "a map");

template <class ReadField>
Expected<void, Error> read_record(Reader& r, const Record& rec, ReadField&& read_field) {
  const int c = r.peek();
  if (c == '{') {
    if (auto b = r.begin_object(); !b) return b;
    std::uint64_t seen = 0;
    std::string_view key;
    for (;;) {
      auto more = r.next_member(key);
      if (!more) return unexpected(std::move(more.error()));
      if (!*more) break;
      const int i = rec.find(key);
      if (i < 0) {
        if (auto s = r.skip_value(); !s) return s;
        continue;
      }
      const std::uint64_t bit = std::uint64_t{1} << i;
      if (seen & bit) return unexpected(r.locate_key(Error::duplicate_field(rec.fields[i].name)));
      seen |= bit;
      if (auto f = read_field(static_cast<std::size_t>(i), r); !f) return f;
    }
    for (std::size_t i = 0; i < rec.fields.size(); ++i) {
      if (rec.fields[i].required && !(seen & (std::uint64_t{1} << i))) {
        return unexpected(r.locate(Error::missing_field(rec.fields[i].name)));
      }
    }
    return {};
  }
  if (c == '[') {
    if (auto b = r.begin_array(); !b) return b;
    for (std::size_t i = 0; i < rec.fields.size(); ++i) {
      auto more = r.next_element();
      if (!more) return unexpected(std::move(more.error()));
      if (!*more) {
        std::size_t missing;
        if (rec.first_required_from(i, missing)) {
          return unexpected(r.locate(Error::invalid_length(missing, struct_with_elements(rec.name, rec.fields.size()))));
        }
        return {};
      }
      if (auto f = read_field(i, r); !f) return f;
    }
    return r.end_array();
  }
  return unexpected(r.invalid_type(rec.expectation()));
}

// The record at the cursor as read_record from the tree would read it, when
// nothing in it could fail there or be read otherwise: no member given twice,
// every field read, every unknown member one the tree would parse. False for
// anything else, the reader then anywhere in the record.
template <class ReadField>
bool read_record_as_tree_would(Reader& r, const Record& rec, ReadField&& read_field) {
  const int c = r.peek();
  if (c == '{') {
    if (!r.begin_object().ok()) return false;
    std::uint64_t seen = 0;
    std::string_view key;
    for (;;) {
      auto more = r.next_member(key);
      if (!more) return false;
      if (!*more) break;
      const int i = rec.find(key);
      if (i < 0) {
        if (!skip_checked(r)) return false;
        continue;
      }
      const std::uint64_t bit = std::uint64_t{1} << i;
      if (seen & bit) return false;
      seen |= bit;
      if (!read_field(static_cast<std::size_t>(i), r).ok()) return false;
    }
    std::size_t missing;
    for (std::size_t i = 0; rec.first_required_from(i, missing); i = missing + 1) {
      if (!(seen & (std::uint64_t{1} << missing))) return false;
    }
    return true;
  }
  if (c != '[' || !r.begin_array().ok()) return false;
  for (std::size_t i = 0; i < rec.fields.size(); ++i) {
    auto more = r.next_element();
    if (!more) return false;
    std::size_t missing;
    if (!*more) return !rec.first_required_from(i, missing);
    if (!read_field(i, r).ok()) return false;
  }
  return r.end_array().ok();
}

template <class ReadField>
Expected<void, Error> read_record(const Value& v, const Record& rec, ReadField&& read_field) {
  if (v.is_object()) {
    std::uint64_t seen = 0;
    for (const Value::Member& m : v.as_object()) {
      const int i = rec.find(m.key);
      if (i < 0) continue;
      seen |= std::uint64_t{1} << i;
      if (auto f = read_field(static_cast<std::size_t>(i), m.value); !f) return f;
    }
    for (std::size_t i = 0; i < rec.fields.size(); ++i) {
      if (rec.fields[i].required && !(seen & (std::uint64_t{1} << i))) {
        return unexpected(Error::missing_field(rec.fields[i].name));
      }
    }
    return {};
  }
  if (v.is_array()) {
    const Value::Array& items = v.as_array();
    const std::size_t given = items.size() < rec.fields.size() ? items.size() : rec.fields.size();
    for (std::size_t i = 0; i < given; ++i) {
      if (auto f = read_field(i, items[i]); !f) return f;
    }
    std::size_t missing;
    if (items.size() < rec.fields.size() && rec.first_required_from(items.size(), missing)) {
      return unexpected(Error::invalid_length(missing, struct_with_elements(rec.name, rec.fields.size())));
    }
    if (items.size() > rec.fields.size()) {
      return unexpected(Error::invalid_length(items.size(), "fewer elements in array"));
    }
    return {};
  }
  return unexpected(Error::invalid_type(describe(v), rec.expectation()));
}

}  // namespace vsci::json
