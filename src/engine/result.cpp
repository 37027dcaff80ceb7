// The result document is written in one pass into one reservation, because the
// equity curve of a long run is most of the bytes the caller receives.
#include "engine/result.h"

#include "json/number_format.h"
#include "json/writer.h"

namespace vsci {

std::string_view exit_reason_text(ExitReason reason) {
  switch (reason) {
    case ExitReason::Signal:
      return "signal";
    case ExitReason::StopLoss:
      return "stop_loss";
    case ExitReason::TrailingStop:
      return "trailing_stop";
    case ExitReason::TakeProfit:
      return "take_profit";
    case ExitReason::Liquidation:
      return "liquidation";
    case ExitReason::End:
      return "end";
  }
  return "signal";
}

namespace {

using json::Writer;

template <class Record, std::size_t N>
constexpr std::size_t name_chars(const Member<Record> (&members)[N]) {
  std::size_t n = N + 1;  // braces and commas
  for (const Member<Record>& m : members) n += m.name.size() + 3 + (m.reason != nullptr ? 2 : 0);
  return n;
}

// The longest texts of the records: names and punctuation, then integers and
// floats at their longest. An equity point's usual length takes plain floats
// of at most 17 digits and 13-digit times instead.
template <class Record, std::size_t N>
constexpr std::size_t max_chars(const Member<Record> (&members)[N]) {
  std::size_t n = name_chars(members);
  for (const Member<Record>& m : members) {
    n += m.f64 != nullptr ? json::kMaxF64Chars : m.reason != nullptr ? 13 : json::kMaxIntChars;  // "trailing_stop"
  }
  return n;
}
constexpr std::size_t kMaxPointChars = max_chars(kPointMembers);
constexpr std::size_t kUsualPointChars = name_chars(kPointMembers) + 20 + 19;
constexpr std::size_t kMaxTradeChars = max_chars(kTradeMembers);
constexpr std::size_t kMaxMetricChars = max_chars(kMetricMembers);

// Member K of a record, its name and type known here at compile time.
template <const auto& kMembers, std::size_t K, class Record>
char* put_member(char* p, const Record& r) {
  constexpr const auto& m = kMembers[K];
  *p++ = '"';
  p = Writer::put_text(Writer::put_text(p, m.name), "\":");
  if constexpr (m.f64 != nullptr) {
    return json::write_f64(p, r.*(m.f64));
  } else if constexpr (m.i64 != nullptr) {
    return json::write_i64(p, r.*(m.i64));
  } else if constexpr (m.u64 != nullptr) {
    return json::write_u64(p, r.*(m.u64));
  } else {
    // The reasons are plain words: no byte of them needs escaping.
    *p++ = '"';
    p = Writer::put_text(p, exit_reason_text(r.*(m.reason)));
    *p++ = '"';
    return p;
  }
}

// A record as one object, its members in declared or key order.
template <const auto& kMembers, class Record>
char* put_record(char* p, const Record& r, MemberOrder order) {
  const auto put = [&]<bool kByKey, std::size_t... I>(std::index_sequence<I...>) {
    *p++ = '{';
    ((p = put_member<kMembers, kByKey ? kKeyOrder<kMembers>[I] : I>(I == 0 ? p : (*p = ',', p + 1), r)), ...);
    *p++ = '}';
  };
  constexpr auto members = std::make_index_sequence<std::size(kMembers)>();
  if (order == MemberOrder::Key) {
    put.template operator()<true>(members);
  } else {
    put.template operator()<false>(members);
  }
  return p;
}

template <class Put>
void write_list(json::Writer& w, std::size_t count, std::size_t max_chars, Put put) {
  w.begin_array();
  w.raw_values(count, max_chars, put);
  w.end_array();
}

}  // namespace

std::string write_result(const BacktestResult& r, MemberOrder order) {
  json::Writer w;
  write_result(w, r, order);
  return w.take();
}

void write_result(json::Writer& w, const BacktestResult& r, MemberOrder order) {
  // The equity curve and the trades are most of the text: reserved once for
  // their usual length, they are written straight into the buffer. Room
  // reserved and never written costs no memory; the slack takes the members
  // of an enclosing document that follow (a test's tolerances and checks), so
  // that they do not move the whole text.
  w.reserve(w.size() + r.equity.size() * (kUsualPointChars + 1) + r.trades.size() * (kMaxTradeChars + 1) +
            kMaxPointChars + r.symbol.size() * 6 + r.timeframe.size() * 6 + 4096);
  const bool by_key = order == MemberOrder::Key;
  const auto trades = [&] {
    w.key("trades");
    write_list(w, r.trades.size(), kMaxTradeChars, [&](char* p, std::size_t i) {
      return put_record<kTradeMembers>(p, r.trades[i], order);
    });
  };
  const auto equity = [&] {
    w.key("equity");
    write_list(w, r.equity.size(), kMaxPointChars, [&](char* p, std::size_t i) {
      return put_record<kPointMembers>(p, r.equity[i], order);
    });
  };
  const auto money = [&] {
    w.key("fees_paid");
    w.f64(r.fees_paid);
    w.key("initial_capital");
    w.f64(r.initial_capital);
  };
  const auto metrics = [&] {
    w.key("metrics");
    w.raw_end(put_record<kMetricMembers>(w.raw_begin(kMaxMetricChars), r.metrics, order));
  };
  const auto names = [&] {
    w.key("schema_version");
    w.u64(r.schema_version);
    w.key("symbol");
    w.string(r.symbol);
    w.key("timeframe");
    w.string(r.timeframe);
  };
  w.begin_object();
  if (by_key) {
    equity();
    money();
    metrics();
    names();
    trades();
  } else {
    names();
    metrics();
    trades();
    equity();
    money();
  }
  w.end_object();
}

}  // namespace vsci
