// An operand carries no tag, so each form is tried against the whole value and
// a mismatch is reported only when no form fits.
#include <limits>

#include "engine/readers.h"
#include "engine/typed_read.h"

namespace vsci {

namespace {

using json::Error;
using json::Reader;
using typed::fail;
using typed::Status;

constexpr std::string_view kRuleNames[] = {"gt",          "lt",      "ge",      "le",     "eq",  "ne",
                                           "cross_above", "cross_below", "between", "rising", "falling",
                                           "all",         "any",     "not",     "in_position", "bars_since_entry"};
constexpr std::string_view kComparatorNames[] = {"gt", "lt", "ge", "le", "eq"};
constexpr std::string_view kPriceFields[] = {"open", "high", "low", "close", "volume", "hlc3", "ohlc4"};
// In Operand::Kind order from Price on.
constexpr std::string_view kExpressionNames[] = {"price", "prev", "add", "sub", "mul", "div"};

constexpr std::string_view kOperandMismatch = "data did not match any variant of untagged enum Operand";

// An operand is decided only once its whole value has been read: every byte
// of it must be well-formed JSON before a shape mismatch counts. The match_*
// functions therefore always read exactly one value, clear `fits` when it
// cannot be an operand, and fail only on malformed text.

Status skip_rest_of_object(Reader& r) {
  std::string_view key;
  for (;;) {
    auto more = r.next_member(key);
    if (!more.ok()) return fail(std::move(more).error());
    if (!*more) return {};
    if (auto s = r.skip_value(); !s.ok()) return s;
  }
}

Status skip_rest_of_array(Reader& r) {
  for (;;) {
    auto more = r.next_element();
    if (!more.ok()) return fail(std::move(more).error());
    if (!*more) return {};
    if (auto s = r.skip_value(); !s.ok()) return s;
  }
}

// After the single member of an expression object: anything more is a mismatch.
Status expect_object_end(Reader& r, bool& fits) {
  std::string_view key;
  auto more = r.next_member(key);
  if (!more.ok()) return fail(std::move(more).error());
  if (!*more) return {};
  fits = false;
  if (auto s = r.skip_value(); !s.ok()) return s;
  return skip_rest_of_object(r);
}

Status expect_array_end(Reader& r, bool& fits) {
  auto more = r.next_element();
  if (!more.ok()) return fail(std::move(more).error());
  if (!*more) return {};
  fits = false;
  if (auto s = r.skip_value(); !s.ok()) return s;
  return skip_rest_of_array(r);
}

// Opens an object and reads its first member's name into `key`; `has` says
// whether there was one. An empty object is a mismatch, read to its end.
Status open_member(Reader& r, std::string_view& key, bool& has, bool& fits) {
  if (auto b = r.begin_object(); !b.ok()) return b;
  auto more = r.next_member(key);
  if (!more.ok()) return fail(std::move(more).error());
  has = *more;
  if (!has) fits = false;
  return {};
}

Status mismatch(Reader& r, bool& fits) {
  fits = false;
  return r.skip_value();
}

Status match_price_field(Reader& r, PriceField& field, bool& fits) {
  const int c = r.peek();
  if (c == '"') {
    auto s = r.read_str();
    if (!s.ok()) return fail(std::move(s).error());
    const int i = typed::index_of(kPriceFields, *s);
    if (i < 0) fits = false;
    else field = static_cast<PriceField>(i);
    return {};
  }
  if (c != '{') return mismatch(r, fits);
  // {"close": null}
  std::string_view key;
  bool has = false;
  if (auto s = open_member(r, key, has, fits); !s.ok() || !has) return s;
  const int i = typed::index_of(kPriceFields, key);
  if (i < 0) fits = false;
  else field = static_cast<PriceField>(i);
  auto null = r.read_null();
  if (!null.ok()) return fail(std::move(null).error());
  if (!*null) {
    if (auto s = mismatch(r, fits); !s.ok()) return s;
  }
  return expect_object_end(r, fits);
}

// `out` is a fresh Operand (the constant 0), filled in as its form is read.
Status match_operand(Reader& r, Operand& out, bool& fits);

// [operand, operand] or, for prev, [operand, lag].
Status match_pair(Reader& r, Operand& out, bool with_lag, bool& fits) {
  if (r.peek() != '[') return mismatch(r, fits);
  if (auto b = r.begin_array(); !b.ok()) return b;
  for (int k = 0; k < 2; ++k) {
    auto more = r.next_element();
    if (!more.ok()) return fail(std::move(more).error());
    if (!*more) {
      fits = false;
      return {};
    }
    if (k == 1 && with_lag) {
      auto lag = r.read_value();
      if (!lag.ok()) return fail(std::move(lag).error());
      if (lag->kind() == json::Kind::U64 && lag->as_u64() <= std::numeric_limits<std::uint32_t>::max()) {
        out.lag = static_cast<std::uint32_t>(lag->as_u64());
      } else {
        fits = false;
      }
      continue;
    }
    out.args.emplace_back();
    if (auto s = match_operand(r, out.args.back(), fits); !s.ok()) return s;
  }
  return expect_array_end(r, fits);
}

Status match_operand(Reader& r, Operand& out, bool& fits) {
  const int c = r.peek();
  if (c == '"') {
    auto s = r.read_str();
    if (!s.ok()) return fail(std::move(s).error());
    out.kind = Operand::Kind::Reference;
    out.reference.assign(*s);
    return {};
  }
  if (c == '-' || (c >= '0' && c <= '9')) {
    auto v = r.read_f64();
    if (!v.ok()) return fail(std::move(v).error());
    out.constant = *v;
    return {};
  }
  if (c != '{') return mismatch(r, fits);

  std::string_view key;
  bool has = false;
  if (auto s = open_member(r, key, has, fits); !s.ok() || !has) return s;
  const int form = typed::index_of(kExpressionNames, key);
  Status s;
  if (form < 0) {
    s = mismatch(r, fits);
  } else {
    out.kind = static_cast<Operand::Kind>(static_cast<int>(Operand::Kind::Price) + form);
    if (out.kind == Operand::Kind::Price) s = match_price_field(r, out.field, fits);
    else s = match_pair(r, out, out.kind == Operand::Kind::Prev, fits);
  }
  if (!s.ok()) return s;
  return expect_object_end(r, fits);
}

// A fixed-length array read element by element; `element(i, reader)` reads
// element i. Too few elements fail with "invalid length", more with
// "trailing characters".
template <class F>
Status read_tuple(Reader& r, std::size_t size, std::string_view expected, F&& element) {
  if (r.peek() != '[') return fail(r.invalid_type(expected));
  if (auto b = r.begin_array(); !b.ok()) return b;
  for (std::size_t i = 0; i < size; ++i) {
    auto more = r.next_element();
    if (!more.ok()) return fail(std::move(more).error());
    if (!*more) return fail(r.locate(Error::invalid_length(i, expected)));
    Status s = element(i, r);
    if (!s.ok()) return fail(typed::place_in_array(r, std::move(s).error()));
  }
  return r.end_array();
}

Status read_operands(Reader& r, Rule& out, std::size_t size) {
  const std::string_view expected = size == 2 ? "a tuple of size 2" : "a tuple of size 3";
  out.operands.resize(size);
  return read_tuple(r, size, expected, [&](std::size_t i, Reader& rr) { return read_operand(rr, out.operands[i]); });
}

Status read_rule_content(Reader& r, Rule& out) {
  switch (out.kind) {
    case Rule::Kind::Gt:
    case Rule::Kind::Lt:
    case Rule::Kind::Ge:
    case Rule::Kind::Le:
    case Rule::Kind::Eq:
    case Rule::Kind::Ne:
    case Rule::Kind::CrossAbove:
    case Rule::Kind::CrossBelow:
      return read_operands(r, out, 2);
    case Rule::Kind::Between:
      return read_operands(r, out, 3);
    case Rule::Kind::Rising:
    case Rule::Kind::Falling:
      out.operands.resize(1);
      return read_tuple(r, 2, "a tuple of size 2", [&](std::size_t i, Reader& rr) {
        return i == 0 ? read_operand(rr, out.operands[0]) : typed::read_u32(rr, out.count);
      });
    case Rule::Kind::All:
    case Rule::Kind::Any:
      return typed::read_list(r, [&](Reader& rr) {
        out.children.emplace_back();
        return read_rule(rr, out.children.back());
      });
    case Rule::Kind::Not:
      out.children.emplace_back();
      return read_rule(r, out.children.back());
    case Rule::Kind::InPosition:
      return typed::read_bool(r, out.flag);
    case Rule::Kind::BarsSinceEntry: {
      auto head = typed::read_enum_head(r, kComparatorNames);
      if (!head.ok()) return fail(std::move(head).error());
      if (!head->object_form) return fail(typed::unit_for_newtype_variant());
      out.comparator = static_cast<Comparator>(head->index);
      if (auto s = typed::read_u32(r, out.count); !s.ok()) return s;
      return typed::close_enum_object(r);
    }
  }
  return {};
}

}  // namespace

ReadStatus read_operand(Reader& r, Operand& out) {
  bool fits = true;
  out = Operand{};
  if (auto s = match_operand(r, out, fits); !s.ok()) return s;
  if (!fits) return fail(Error::custom(std::string(kOperandMismatch)));
  return {};
}

ReadStatus read_rule(Reader& r, Rule& out) {
  out = Rule{};
  auto head = typed::read_enum_head(r, kRuleNames);
  if (!head.ok()) return fail(std::move(head).error());
  if (!head->object_form) return fail(typed::unit_for_newtype_variant());
  out.kind = static_cast<Rule::Kind>(head->index);
  if (auto s = read_rule_content(r, out); !s.ok()) return s;
  return typed::close_enum_object(r);
}

}  // namespace vsci
