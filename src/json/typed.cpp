// A record reads the same from text and from a tree, with one set of messages,
// so a spec fails identically whichever way it arrived.
#include "json/typed.h"

#include <limits>

namespace vsci::json {

std::string describe(const Value& v) {
  switch (v.kind()) {
    case Kind::Null: return std::string(kFoundNull);
    case Kind::Bool: return describe_bool(v.as_bool());
    case Kind::U64: return describe_u64(v.as_u64());
    case Kind::I64: return describe_i64(v.as_i64());
    case Kind::F64: return describe_f64(v.as_f64());
    case Kind::String: return describe_string(v.as_string());
    case Kind::Array: return std::string(kFoundSequence);
    case Kind::Object: return std::string(kFoundMap);
  }
  return {};
}

Expected<double, Error> get_f64(const Value& v, std::string_view expected) {
  if (v.is_number()) return v.to_f64();
  return unexpected(Error::invalid_type(describe(v), expected));
}

Expected<std::int64_t, Error> get_i64(const Value& v, std::string_view expected) {
  switch (v.kind()) {
    case Kind::I64: return v.as_i64();
    case Kind::U64:
      if (v.as_u64() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return unexpected(Error::invalid_value(describe(v), expected));
      }
      return static_cast<std::int64_t>(v.as_u64());
    default: return unexpected(Error::invalid_type(describe(v), expected));
  }
}

Expected<std::uint64_t, Error> get_u64(const Value& v, std::string_view expected) {
  switch (v.kind()) {
    case Kind::U64: return v.as_u64();
    case Kind::I64: return unexpected(Error::invalid_value(describe(v), expected));
    default: return unexpected(Error::invalid_type(describe(v), expected));
  }
}

Expected<std::uint32_t, Error> get_u32(const Value& v, std::string_view expected) {
  auto n = get_u64(v, expected);
  if (!n) return unexpected(std::move(n.error()));
  if (*n > std::numeric_limits<std::uint32_t>::max()) return unexpected(Error::invalid_value(describe(v), expected));
  return static_cast<std::uint32_t>(*n);
}

Expected<std::string_view, Error> get_str(const Value& v, std::string_view expected) {
  if (v.is_string()) return std::string_view(v.as_string());
  return unexpected(Error::invalid_type(describe(v), expected));
}

Expected<const Value::Array*, Error> get_array(const Value& v, std::string_view expected) {
  if (v.is_array()) return &v.as_array();
  return unexpected(Error::invalid_type(describe(v), expected));
}

Expected<const Value::Object*, Error> get_object(const Value& v, std::string_view expected) {
  if (v.is_object()) return &v.as_object();
  return unexpected(Error::invalid_type(describe(v), expected));
}

}  // namespace vsci::json
