// An enum comes as a bare name or a one-member object; reading both forms in
// one place gives every reader the same texts and positions.
#include "engine/typed_read.h"

namespace vsci::typed {

Expected<EnumHead, Error> read_enum_head(Reader& r, std::span<const std::string_view> names) {
  const int c = r.peek();
  if (c == '"') {
    auto s = r.read_str();
    if (!s.ok()) return fail(std::move(s).error());
    const int i = index_of(names, *s);
    if (i < 0) return fail(r.locate(Error::unknown_variant(*s, names)));
    return EnumHead{i, false};
  }
  if (c == '{') {
    if (auto b = r.begin_object(); !b.ok()) return fail(std::move(b).error());
    const int k = r.peek();
    if (k == '}') return fail(r.peek_error(json::ErrorCode::ExpectedSomeValue));
    if (k != '"') return fail(r.invalid_type("variant identifier"));
    std::string_view key;
    auto more = r.next_member(key);
    if (!more.ok()) return fail(std::move(more).error());
    const int i = index_of(names, key);
    if (i < 0) return fail(r.locate_key(Error::unknown_variant(key, names)));
    return EnumHead{i, true};
  }
  if (c == Reader::kEof) return fail(r.peek_error(json::ErrorCode::EofWhileParsingValue));
  return fail(r.peek_error(json::ErrorCode::ExpectedSomeValue));
}

Status close_enum_object(Reader& r) {
  const int c = r.peek();
  if (c == '}') {
    std::string_view key;
    auto more = r.next_member(key);
    if (!more.ok()) return fail(std::move(more).error());
    return {};
  }
  if (c == Reader::kEof) return fail(r.error(json::ErrorCode::EofWhileParsingObject));
  return fail(r.error(json::ErrorCode::ExpectedSomeValue));
}

Expected<int, Error> read_unit_enum(Reader& r, std::span<const std::string_view> names) {
  auto head = read_enum_head(r, names);
  if (!head.ok()) return fail(std::move(head).error());
  if (head->object_form) {
    auto null = r.read_null();
    if (!null.ok()) return fail(std::move(null).error());
    if (!*null) return fail(r.invalid_type("unit"));
    if (auto closed = close_enum_object(r); !closed.ok()) return fail(std::move(closed).error());
  }
  return head->index;
}

Error unit_for_newtype_variant() { return Error::invalid_type(json::kFoundUnitVariant, "newtype variant"); }

}  // namespace vsci::typed
