// Helpers shared by the request readers: records, lists, optional values and
// enums read straight from a json::Reader with the JSON layer's messages.
//
// Some failures concern a value that has already been read in full (a record
// member missing, an operand that fits no form, a variant body that does not
// match). They are raised without a position (line 0), and the nearest list or
// record that holds the value places them: it first tries to close itself, as
// it would have done had the value been fine, and reports the failure where
// that attempt left the reader. Used on one thread per Reader.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "json/error.h"
#include "json/reader.h"
#include "json/typed.h"
#include "util/expected.h"

namespace vsci::typed {

using json::Error;
using json::Reader;
using Status = Expected<void, Error>;

inline bool has_position(const Error& e) { return e.line != 0; }

// Places a positionless failure inside an array: the closing bracket, or a
// comma and the blanks after it, are consumed first.
inline Error place_in_array(Reader& r, Error e) {
  if (has_position(e)) return e;
  const int c = r.peek();
  if (c == ']') {
    r.advance();
  } else if (c == ',') {
    r.advance();
    r.peek();
  }
  return r.locate(std::move(e));
}

// Places a positionless failure inside an object: a closing brace is consumed
// first; anything else stays.
inline Error place_in_object(Reader& r, Error e) {
  if (has_position(e)) return e;
  if (r.peek() == '}') r.advance();
  return r.locate(std::move(e));
}

inline Unexpected<Error> fail(Error e) { return {std::move(e)}; }

// A record in object or array form; `field(i, reader)` reads field i's value.
// Failures of a field that carry no position are placed by this record.
template <class F>
Status read_struct(Reader& r, const json::Record& rec, F&& field) {
  const bool array_form = r.peek() == '[';
  return json::read_record(r, rec, [&](std::size_t i, Reader& rr) -> Status {
    Status s = field(i, rr);
    if (s.ok()) return s;
    return fail(array_form ? place_in_array(rr, std::move(s).error()) : place_in_object(rr, std::move(s).error()));
  });
}

// The rest of a list whose '[' was consumed: `element(reader)` reads each
// further element in turn, up to and with the closing bracket.
template <class F>
Status read_list_rest(Reader& r, F&& element) {
  for (;;) {
    auto more = r.next_element();
    if (!more.ok()) return fail(std::move(more).error());
    if (!*more) return {};
    Status s = element(r);
    if (!s.ok()) return fail(place_in_array(r, std::move(s).error()));
  }
}

// A JSON array; `element(reader)` reads each element in turn.
template <class F>
Status read_list(Reader& r, F&& element, std::string_view expected = "a sequence") {
  if (r.peek() != '[') return fail(r.invalid_type(expected));
  if (auto b = r.begin_array(); !b.ok()) return b;
  return read_list_rest(r, element);
}

template <class T, class F>
Status read_optional(Reader& r, std::optional<T>& out, F&& read_some) {
  auto null = r.read_null();
  if (!null.ok()) return fail(std::move(null).error());
  if (*null) {
    out.reset();
    return {};
  }
  return read_some(r, out.emplace());
}

inline Status read_f64(Reader& r, double& out) {
  auto v = r.read_f64();
  if (!v.ok()) return fail(std::move(v).error());
  out = *v;
  return {};
}

inline Status read_i64(Reader& r, std::int64_t& out) {
  auto v = r.read_i64();
  if (!v.ok()) return fail(std::move(v).error());
  out = *v;
  return {};
}

inline Status read_u32(Reader& r, std::uint32_t& out) {
  auto v = r.read_u32();
  if (!v.ok()) return fail(std::move(v).error());
  out = *v;
  return {};
}

inline Status read_bool(Reader& r, bool& out) {
  auto v = r.read_bool();
  if (!v.ok()) return fail(std::move(v).error());
  out = *v;
  return {};
}

inline Status read_string(Reader& r, std::string& out) {
  auto v = r.read_str();
  if (!v.ok()) return fail(std::move(v).error());
  out.assign(*v);
  return {};
}

inline Status read_optional_f64(Reader& r, std::optional<double>& out) { return read_optional(r, out, read_f64); }

// The index of `name` among `names`, or -1.
inline int index_of(std::span<const std::string_view> names, std::string_view name) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return static_cast<int>(i);
  return -1;
}

// The head of an externally tagged enum value: a string naming the variant, or
// an object whose single member's name is the variant (its colon consumed, the
// variant's content next). Gives the variant's index.
struct EnumHead {
  int index = -1;
  bool object_form = false;
};

Expected<EnumHead, Error> read_enum_head(Reader& r, std::span<const std::string_view> names);

// After the content of an object-form enum: the object must close here.
Status close_enum_object(Reader& r);

// An enum whose variants carry nothing: "name" or {"name": null}.
Expected<int, Error> read_unit_enum(Reader& r, std::span<const std::string_view> names);

// The failure of a variant that carries a value but was written as a bare
// string; positionless.
Error unit_for_newtype_variant();

}  // namespace vsci::typed
