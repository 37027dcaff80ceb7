// The request is read straight from the text into typed records, with no
// document tree between, so a long candle list costs one pass.
#include <algorithm>
#include <string>

#include "engine/candle_codec.h"
#include "engine/readers.h"
#include "engine/request.h"
#include "engine/typed_read.h"
#include "json/typed.h"

namespace vsci {

namespace {

using json::Field;
using json::Reader;
using json::Record;
using typed::fail;
using typed::Status;

constexpr Field kTickFields[] = {
    {"funding_rate", true},      {"mark_price", true},       {"index_price", true},      {"futures_price", true},
    {"open_interest", true},     {"long_size", true},        {"short_size", true},       {"taker_buy_volume", true},
    {"taker_sell_volume", true}, {"long_liquidation", true}, {"short_liquidation", true}, {"timestamp", false},
};
constexpr Record kTick{"DerivativesTick", kTickFields};

constexpr Field kBookFields[] = {{"bids", true}, {"asks", true}};
constexpr Record kBook{"OrderBook", kBookFields};

constexpr Field kLevelFields[] = {{"price", true}, {"size", true}};
constexpr Record kLevel{"Level", kLevelFields};

constexpr Field kTradeFields[] = {{"price", true}, {"size", true}, {"side", true}, {"timestamp", false}};
constexpr Record kTrade{"TradePrint", kTradeFields};

constexpr std::string_view kSideNames[] = {"buy", "sell"};

constexpr Field kSectionFields[] = {{"members", true}, {"timestamp", false}};
constexpr Record kSection{"CrossSection", kSectionFields};

constexpr Field kMemberFields[] = {{"change", true}, {"volume", true}, {"new_high", false}, {"new_low", false}};
constexpr Record kMember{"CrossSectionMember", kMemberFields};

constexpr Field kRequestFields[] = {{"spec", true},    {"candles", true}, {"capital", false}, {"reference", false},
                                    {"derivs", false}, {"books", false},  {"trades", false},  {"sections", false}};
constexpr Record kRequest{"RunRequest", kRequestFields};

Status read_tick(Reader& r, DerivativesTick& out) {
  double* const floats[] = {&out.funding_rate,      &out.mark_price,       &out.index_price, &out.futures_price,
                            &out.open_interest,     &out.long_size,        &out.short_size,  &out.taker_buy_volume,
                            &out.taker_sell_volume, &out.long_liquidation, &out.short_liquidation};
  return typed::read_struct(r, kTick, [&](std::size_t i, Reader& rr) -> Status {
    if (i < std::size(floats)) return typed::read_f64(rr, *floats[i]);
    return typed::read_i64(rr, out.timestamp);
  });
}

Status read_level(Reader& r, Level& out) {
  return typed::read_struct(r, kLevel, [&](std::size_t i, Reader& rr) -> Status {
    return typed::read_f64(rr, i == 0 ? out.price : out.size);
  });
}

Status read_levels(Reader& r, std::vector<Level>& out) {
  return typed::read_list(r, [&](Reader& rr) { return read_level(rr, out.emplace_back()); });
}

Status read_book(Reader& r, OrderBook& out) {
  return typed::read_struct(r, kBook, [&](std::size_t i, Reader& rr) -> Status {
    return read_levels(rr, i == 0 ? out.bids : out.asks);
  });
}

Status read_trade(Reader& r, TradePrint& out) {
  return typed::read_struct(r, kTrade, [&](std::size_t i, Reader& rr) -> Status {
    switch (i) {
      case 0:
        return typed::read_f64(rr, out.price);
      case 1:
        return typed::read_f64(rr, out.size);
      case 2: {
        auto side = typed::read_unit_enum(rr, kSideNames);
        if (!side.ok()) return fail(std::move(side).error());
        out.side = *side == 0 ? TradeSide::Buy : TradeSide::Sell;
        return {};
      }
      default:
        return typed::read_i64(rr, out.timestamp);
    }
  });
}

Status read_trade_feed(Reader& r, TradeFeed& out) {
  return typed::read_list(r, [&](Reader& bar) {
    out.start_bar();
    return typed::read_list(bar, [&](Reader& rr) {
      TradePrint print;
      if (auto s = read_trade(rr, print); !s.ok()) return s;
      out.add(print);
      return Status{};
    });
  });
}

Status read_member(Reader& r, CrossSectionMember& out) {
  return typed::read_struct(r, kMember, [&](std::size_t i, Reader& rr) -> Status {
    switch (i) {
      case 0:
        return typed::read_f64(rr, out.change);
      case 1:
        return typed::read_f64(rr, out.volume);
      case 2:
        return typed::read_bool(rr, out.new_high);
      default:
        return typed::read_bool(rr, out.new_low);
    }
  });
}

Status read_section(Reader& r, CrossSection& out) {
  return typed::read_struct(r, kSection, [&](std::size_t i, Reader& rr) -> Status {
    if (i == 0) return typed::read_list(rr, [&](Reader& m) { return read_member(m, out.members.emplace_back()); });
    return typed::read_i64(rr, out.timestamp);
  });
}

// A side feed: a list of records, or null for none.
template <class T, class F>
Status read_feed(Reader& r, std::optional<std::vector<T>>& out, F&& element) {
  return typed::read_optional(r, out, [&](Reader& rr, std::vector<T>& items) {
    return typed::read_list(rr, [&](Reader& e) { return element(e, items.emplace_back()); });
  });
}

}  // namespace

ReadStatus read_candles(Reader& r, std::vector<Candle>& out) {
  std::size_t first_start = 0;
  const auto element = [&](Reader& rr) {
    if (out.empty()) first_start = rr.offset();
    ReadStatus s = read_candle(rr, out.emplace_back());
    // Long lists are sized once from the length of their first candle, with a
    // third to spare for shorter ones; capacity never written costs no memory.
    // Counting at least 32 bytes a candle keeps the reservation within twice
    // the text whatever the first one looks like.
    if (out.size() == 1 && s.ok()) {
      const std::size_t bytes = std::max<std::size_t>(rr.offset() - first_start, 32);
      out.reserve(1 + rr.remaining() / bytes + rr.remaining() / (3 * bytes));
    }
    return s;
  };
  if (!json::list_opens(r)) return typed::read_list(r, element);
  if (read_candles_in_pieces(r, out) == json::ListEnd::Closed) return {};
  return typed::read_list_rest(r, element);
}

ReadStatus read_run_request(Reader& r, RunRequest& out) {
  return typed::read_struct(r, kRequest, [&](std::size_t i, Reader& rr) -> Status {
    switch (i) {
      case 0:
        return read_strategy_spec(rr, out.spec);
      case 1:
        return read_candles(rr, out.candles);
      case 2:
        return typed::read_f64(rr, out.capital);
      case 3:
        return read_feed(rr, out.reference, read_candle);
      case 4:
        return read_feed(rr, out.derivs, read_tick);
      case 5:
        return read_feed(rr, out.books, read_book);
      case 6:
        return typed::read_optional(rr, out.trades, read_trade_feed);
      default:
        return read_feed(rr, out.sections, read_section);
    }
  });
}

Expected<RunRequest, BacktestError> read_run_request(std::string_view text) {
  json::Reader r(text);
  RunRequest request;
  ReadStatus s = read_run_request(r, request);
  if (s.ok()) s = r.finish();
  if (!s.ok()) return unexpected(BacktestError::invalid_spec(s.error().to_string()));
  return request;
}

}  // namespace vsci
