// A tagged setting may name its tag after its members, so the strategy reader
// keeps those members until the tag is known.
#include <string>
#include <utility>
#include <vector>

#include "engine/readers.h"
#include "engine/typed_read.h"
#include "json/typed.h"

namespace vsci {

namespace {

using json::Error;
using json::Field;
using json::Reader;
using json::Record;
using json::Value;
using typed::fail;
using typed::Status;

constexpr std::string_view kFeedNames[] = {"kline", "trade", "orderbook", "trade_quote", "derivatives", "cross_section"};
constexpr std::string_view kSizingNames[] = {"fixed_fraction", "fixed_qty", "fixed_cash", "vol_target",
                                             "risk_per_trade"};
constexpr std::string_view kSlippageNames[] = {"fixed_bps", "spread", "volume_impact"};
constexpr std::string_view kOrderTypeNames[] = {"market", "limit", "stop", "stop_limit"};
constexpr std::string_view kFillTimingNames[] = {"next_open", "close"};

constexpr Field kSpecFields[] = {
    {"spec_version", false}, {"symbol", true},      {"ref_symbol", false}, {"timeframe", true},
    {"indicators", true},    {"entry", true},       {"exit", true},        {"short_entry", false},
    {"short_exit", false},   {"sizing", true},      {"costs", false},      {"risk", false},
    {"execution", false},    {"warmup", false},
};
constexpr Record kSpec{"StrategySpec", kSpecFields};

constexpr Field kIndicatorFields[] = {{"type", true}, {"params", false}, {"feed", false}};
constexpr Record kIndicator{"IndicatorSpec", kIndicatorFields};

constexpr Field kCostsFields[] = {{"maker_bps", false}, {"taker_bps", false}, {"slippage", false}, {"funding", false}};
constexpr Record kCosts{"Costs", kCostsFields};

constexpr Field kRiskFields[] = {{"stop_loss_pct", false},    {"take_profit_pct", false}, {"trailing_stop_pct", false},
                                 {"max_leverage", false},     {"max_position_pct", false}, {"liquidation", false}};
constexpr Record kRisk{"Risk", kRiskFields};

constexpr Field kExecutionFields[] = {{"order_type", false},       {"fill_timing", false},  {"limit_offset_pct", false},
                                      {"stop_offset_pct", false},  {"latency_bars", false}, {"partial_fills", false},
                                      {"max_participation", false}};
constexpr Record kExecution{"Execution", kExecutionFields};

template <class Enum>
Status read_choice(Reader& r, std::span<const std::string_view> names, Enum& out) {
  auto i = typed::read_unit_enum(r, names);
  if (!i.ok()) return fail(std::move(i).error());
  out = static_cast<Enum>(*i);
  return {};
}

Status read_indicator_spec(Reader& r, IndicatorSpec& out) {
  return typed::read_struct(r, kIndicator, [&](std::size_t i, Reader& rr) -> Status {
    switch (i) {
      case 0:
        return typed::read_string(rr, out.type);
      case 1:
        return typed::read_list(rr, [&](Reader& e) { return typed::read_f64(e, out.params.emplace_back()); });
      default: {
        auto null = rr.read_null();
        if (!null.ok()) return fail(std::move(null).error());
        if (*null) {
          out.feed = Feed::Unknown;
          return {};
        }
        return read_choice(rr, kFeedNames, out.feed);
      }
    }
  });
}

Status read_indicators(Reader& r, std::map<std::string, IndicatorSpec>& out) {
  if (r.peek() != '{') return fail(r.invalid_type("a map"));
  if (auto b = r.begin_object(); !b.ok()) return b;
  std::string_view key;
  for (;;) {
    auto more = r.next_member(key);
    if (!more.ok()) return fail(std::move(more).error());
    if (!*more) return {};
    std::string name(key);
    IndicatorSpec spec;
    if (auto s = read_indicator_spec(r, spec); !s.ok()) return fail(typed::place_in_object(r, std::move(s).error()));
    // A repeated name keeps its place and takes the later declaration whole.
    out.insert_or_assign(std::move(name), std::move(spec));
  }
}

// An internally tagged variant: the member "type" names the variant and its
// own members stand beside it (object form), or the tag comes first and the
// members follow in order (array form). The members are kept as read until
// the tag is known, which may come last.
struct TaggedBody {
  bool array_form = false;
  std::vector<std::pair<std::string, Value>> members;
  std::vector<Value> elements;
};

Expected<int, Error> read_variant_tag(Reader& r, std::span<const std::string_view> names) {
  if (r.peek() != '"') return fail(r.invalid_type("variant identifier"));
  auto s = r.read_str();
  if (!s.ok()) return fail(std::move(s).error());
  const int i = typed::index_of(names, *s);
  if (i < 0) return fail(r.locate(Error::unknown_variant(*s, names)));
  return i;
}

Expected<int, Error> read_tagged(Reader& r, std::string_view expecting, std::span<const std::string_view> names,
                                 TaggedBody& body) {
  const int c = r.peek();
  if (c == '{') {
    if (auto b = r.begin_object(); !b.ok()) return fail(std::move(b).error());
    int tag = -1;
    std::string_view key;
    for (;;) {
      auto more = r.next_member(key);
      if (!more.ok()) return fail(std::move(more).error());
      if (!*more) break;
      if (key == "type") {
        if (tag >= 0) return fail(r.locate_key(Error::duplicate_field("type")));
        auto t = read_variant_tag(r, names);
        if (!t.ok()) return t;
        tag = *t;
        continue;
      }
      std::string name(key);
      auto v = r.read_value();
      if (!v.ok()) return fail(std::move(v).error());
      body.members.emplace_back(std::move(name), std::move(v).value());
    }
    if (tag < 0) return fail(r.locate(Error::missing_field("type")));
    return tag;
  }
  if (c == '[') {
    body.array_form = true;
    if (auto b = r.begin_array(); !b.ok()) return fail(std::move(b).error());
    auto more = r.next_element();
    if (!more.ok()) return fail(std::move(more).error());
    if (!*more) return fail(r.locate(Error::missing_field("type")));
    auto tag = read_variant_tag(r, names);
    if (!tag.ok()) return tag;
    for (;;) {
      more = r.next_element();
      if (!more.ok()) return fail(std::move(more).error());
      if (!*more) break;
      auto v = r.read_value();
      if (!v.ok()) return fail(std::move(v).error());
      body.elements.push_back(std::move(v).value());
    }
    return tag;
  }
  return fail(r.invalid_type(expecting));
}

std::string count_text(std::size_t n, std::string_view what) {
  return std::to_string(n) + (n == 1 ? " element" : " elements") + std::string(what);
}

// Reads a variant's members from the kept body; `member(i, value)` converts
// member i. Failures carry no position: the record holding the variant
// places them.
template <class F>
Status read_variant_body(const TaggedBody& body, std::string_view variant, std::span<const std::string_view> fields,
                         F&& member) {
  if (body.array_form) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i >= body.elements.size()) {
        return fail(Error::invalid_length(i, std::string(variant) + " with " + count_text(fields.size(), "")));
      }
      if (auto s = member(i, body.elements[i]); !s.ok()) return s;
    }
    if (body.elements.size() > fields.size()) {
      return fail(Error::invalid_length(body.elements.size(), count_text(fields.size(), " in sequence")));
    }
    return {};
  }
  unsigned seen = 0;
  for (const auto& [key, value] : body.members) {
    const int i = typed::index_of(fields, key);
    if (i < 0) continue;
    if (seen & (1u << i)) return fail(Error::duplicate_field(fields[i]));
    seen |= 1u << i;
    if (auto s = member(static_cast<std::size_t>(i), value); !s.ok()) return s;
  }
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (!(seen & (1u << i))) return fail(Error::missing_field(fields[i]));
  return {};
}

Status to_f64(const Value& v, double& out) {
  auto d = json::get_f64(v);
  if (!d.ok()) return fail(std::move(d).error());
  out = *d;
  return {};
}

Status to_u32(const Value& v, std::uint32_t& out) {
  auto n = json::get_u32(v);
  if (!n.ok()) return fail(std::move(n).error());
  out = *n;
  return {};
}

template <std::size_t N>
Status read_amounts(const TaggedBody& body, std::string_view variant, const std::string_view (&fields)[N],
                    double* const (&targets)[N]) {
  return read_variant_body(body, variant, fields,
                           [&](std::size_t i, const Value& v) { return to_f64(v, *targets[i]); });
}

}  // namespace

ReadStatus read_sizing(Reader& r, Sizing& out) {
  TaggedBody body;
  auto tag = read_tagged(r, "internally tagged enum Sizing", kSizingNames, body);
  if (!tag.ok()) return fail(std::move(tag).error());
  out = Sizing{};
  out.type = static_cast<Sizing::Type>(*tag);
  switch (out.type) {
    case Sizing::Type::FixedFraction:
      return read_amounts(body, "struct variant Sizing::FixedFraction", {"fraction"}, {&out.fraction});
    case Sizing::Type::FixedQty:
      return read_amounts(body, "struct variant Sizing::FixedQty", {"qty"}, {&out.qty});
    case Sizing::Type::FixedCash:
      return read_amounts(body, "struct variant Sizing::FixedCash", {"cash"}, {&out.cash});
    case Sizing::Type::VolTarget: {
      constexpr std::string_view fields[] = {"target_vol", "lookback"};
      return read_variant_body(body, "struct variant Sizing::VolTarget", fields, [&](std::size_t i, const Value& v) {
        return i == 0 ? to_f64(v, out.target_vol) : to_u32(v, out.lookback);
      });
    }
    case Sizing::Type::RiskPerTrade:
      return read_amounts(body, "struct variant Sizing::RiskPerTrade", {"risk_pct"}, {&out.risk_pct});
  }
  return {};
}

ReadStatus read_slippage(Reader& r, Slippage& out) {
  TaggedBody body;
  auto tag = read_tagged(r, "internally tagged enum Slippage", kSlippageNames, body);
  if (!tag.ok()) return fail(std::move(tag).error());
  out = Slippage{};
  out.type = static_cast<Slippage::Type>(*tag);
  switch (out.type) {
    case Slippage::Type::FixedBps:
      return read_amounts(body, "struct variant Slippage::FixedBps", {"bps"}, {&out.bps});
    case Slippage::Type::Spread:
      // No members: an object's other members are ignored, but an array may
      // hold nothing after the tag.
      if (body.array_form && !body.elements.empty()) {
        return fail(Error::invalid_length(body.elements.size(), count_text(0, " in sequence")));
      }
      return {};
    case Slippage::Type::VolumeImpact:
      return read_amounts(body, "struct variant Slippage::VolumeImpact", {"coef"}, {&out.coef});
  }
  return {};
}

ReadStatus read_costs(Reader& r, Costs& out) {
  return typed::read_struct(r, kCosts, [&](std::size_t i, Reader& rr) -> Status {
    switch (i) {
      case 0:
        return typed::read_f64(rr, out.maker_bps);
      case 1:
        return typed::read_f64(rr, out.taker_bps);
      case 2:
        return read_slippage(rr, out.slippage);
      default:
        return typed::read_bool(rr, out.funding);
    }
  });
}

ReadStatus read_risk(Reader& r, Risk& out) {
  std::optional<double>* const optional[] = {&out.stop_loss_pct, &out.take_profit_pct, &out.trailing_stop_pct,
                                              &out.max_leverage, &out.max_position_pct};
  return typed::read_struct(r, kRisk, [&](std::size_t i, Reader& rr) -> Status {
    if (i < std::size(optional)) return typed::read_optional_f64(rr, *optional[i]);
    return typed::read_bool(rr, out.liquidation);
  });
}

ReadStatus read_execution(Reader& r, Execution& out) {
  return typed::read_struct(r, kExecution, [&](std::size_t i, Reader& rr) -> Status {
    switch (i) {
      case 0:
        return read_choice(rr, kOrderTypeNames, out.order_type);
      case 1:
        return read_choice(rr, kFillTimingNames, out.fill_timing);
      case 2:
        return typed::read_optional_f64(rr, out.limit_offset_pct);
      case 3:
        return typed::read_optional_f64(rr, out.stop_offset_pct);
      case 4:
        return typed::read_u32(rr, out.latency_bars);
      case 5:
        return typed::read_bool(rr, out.partial_fills);
      default:
        return typed::read_optional_f64(rr, out.max_participation);
    }
  });
}

ReadStatus read_strategy_spec(Reader& r, StrategySpec& out) {
  return typed::read_struct(r, kSpec, [&](std::size_t i, Reader& rr) -> Status {
    switch (i) {
      case 0:
        return typed::read_u32(rr, out.spec_version);
      case 1:
        return typed::read_string(rr, out.symbol);
      case 2:
        return typed::read_optional(rr, out.ref_symbol, typed::read_string);
      case 3:
        return typed::read_string(rr, out.timeframe);
      case 4:
        return read_indicators(rr, out.indicators);
      case 5:
        return read_rule(rr, out.entry);
      case 6:
        return read_rule(rr, out.exit);
      case 7:
        return typed::read_optional(rr, out.short_entry, read_rule);
      case 8:
        return typed::read_optional(rr, out.short_exit, read_rule);
      case 9:
        return read_sizing(rr, out.sizing);
      case 10:
        return read_costs(rr, out.costs);
      case 11:
        return read_risk(rr, out.risk);
      case 12:
        return read_execution(rr, out.execution);
      default:
        return typed::read_optional(rr, out.warmup, typed::read_u32);
    }
  });
}

}  // namespace vsci
