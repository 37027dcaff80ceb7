// json::Value: the JSON document tree. Numbers keep their literal class: a
// non-negative integer literal is U64, a negative one I64, anything with a
// fraction or exponent (or an integer out of 64-bit range) F64. Objects keep
// their members sorted by key bytes, one member per key.
//
// Build trees with the named factories and set()/push_back(); read them with
// kind(), the as_* accessors (the kind must match) and find(). Parse text with
// json::parse (reader.h); write with json::write (writer.h). Plain value type.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vsci::json {

enum class Kind : unsigned char { Null, Bool, U64, I64, F64, String, Array, Object };

class Value {
 public:
  struct Member;
  using Array = std::vector<Value>;
  using Object = std::vector<Member>;  // sorted by key, keys unique

  Value() = default;  // null
  static Value null() { return Value(); }
  static Value boolean(bool b) { return Value(Store(std::in_place_index<1>, b)); }
  static Value u64(std::uint64_t v) { return Value(Store(std::in_place_index<2>, v)); }
  static Value i64(std::int64_t v) { return Value(Store(std::in_place_index<3>, v)); }
  static Value f64(double v) { return Value(Store(std::in_place_index<4>, v)); }
  static Value string(std::string s) { return Value(Store(std::in_place_index<5>, std::move(s))); }
  static Value array(Array items = {}) { return Value(Store(std::in_place_index<6>, std::move(items))); }
  // Takes members in any order; a repeated key keeps its last value.
  static Value object(Object members = {});

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool is_null() const { return kind() == Kind::Null; }
  bool is_number() const { return kind() == Kind::U64 || kind() == Kind::I64 || kind() == Kind::F64; }
  bool is_string() const { return kind() == Kind::String; }
  bool is_array() const { return kind() == Kind::Array; }
  bool is_object() const { return kind() == Kind::Object; }

  bool as_bool() const { return std::get<1>(v_); }
  std::uint64_t as_u64() const { return std::get<2>(v_); }
  std::int64_t as_i64() const { return std::get<3>(v_); }
  double as_f64() const { return std::get<4>(v_); }
  // Any number as the nearest double.
  double to_f64() const;
  const std::string& as_string() const { return std::get<5>(v_); }
  std::string& as_string() { return std::get<5>(v_); }
  const Array& as_array() const { return std::get<6>(v_); }
  Array& as_array() { return std::get<6>(v_); }
  const Object& as_object() const { return std::get<7>(v_); }
  Object& as_object() { return std::get<7>(v_); }

  // The member under `key`, or nullptr when absent or when this is no object.
  const Value* find(std::string_view key) const;
  // Objects: inserts in key order, replacing an existing member.
  Value& set(std::string key, Value value);
  // Arrays: appends.
  void push_back(Value value) { as_array().push_back(std::move(value)); }

  friend bool operator==(const Value& a, const Value& b);

 private:
  // The parser fills values it has just created (null) in place.
  friend class Reader;
  using Store = std::variant<std::monostate, bool, std::uint64_t, std::int64_t, double, std::string, Array, Object>;
  explicit Value(Store v) : v_(std::move(v)) {}
  Store v_;
};

struct Value::Member {
  std::string key;
  Value value;
  friend bool operator==(const Member& a, const Member& b) { return a.key == b.key && a.value == b.value; }
};

inline bool operator==(const Value& a, const Value& b) { return a.v_ == b.v_; }

// Sorts members by key bytes, keeping the last of any repeated key.
void normalize_members(Value::Object& members);

}  // namespace vsci::json
