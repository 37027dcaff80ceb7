// Helpers for engine tests: write backtest requests as JSON text, run them
// through run_backtest_json and read the result document back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/run_backtest.h"
#include "json/number_format.h"
#include "json/reader.h"
#include "json/value.h"

namespace vsci::testing {

struct Bar {
  std::int64_t time = 0;
  double open = 0.0;
  double high = 0.0;
  double low = 0.0;
  double close = 0.0;
  double volume = 0.0;
};

inline std::string num(double x) {
  std::string s;
  json::append_f64(s, x);
  return s;
}

// Bars with times 1000, 2000, ...; a bar given as {o, h, l, c} or {o, h, l, c, v}.
inline std::vector<Bar> bars(std::initializer_list<std::vector<double>> rows) {
  std::vector<Bar> out;
  std::int64_t t = 0;
  for (const auto& r : rows) {
    t += 1000;
    out.push_back({t, r[0], r[1], r[2], r[3], r.size() > 4 ? r[4] : 0.0});
  }
  return out;
}

// Flat bars (open = high = low = close) at the given closes.
inline std::vector<Bar> flat_bars(const std::vector<double>& closes, double volume = 0.0) {
  std::vector<Bar> out;
  std::int64_t t = 0;
  for (double c : closes) {
    t += 1000;
    out.push_back({t, c, c, c, c, volume});
  }
  return out;
}

inline std::string candles_json(const std::vector<Bar>& bs) {
  std::string s = "[";
  for (std::size_t i = 0; i < bs.size(); ++i) {
    const Bar& b = bs[i];
    if (i) s += ",";
    s += "{\"time\":" + std::to_string(b.time) + ",\"open\":" + num(b.open) + ",\"high\":" + num(b.high) +
         ",\"low\":" + num(b.low) + ",\"close\":" + num(b.close) + ",\"volume\":" + num(b.volume) + "}";
  }
  return s + "]";
}

// A strategy specification object. `members` holds the remaining members
// (sizing, costs, risk, execution, warmup, ...) as JSON text without braces.
inline std::string spec_json(const std::string& indicators, const std::string& entry, const std::string& exit,
                             const std::string& members) {
  std::string s = "{\"symbol\":\"BTCUSDT\",\"timeframe\":\"1h\",\"indicators\":" + indicators + ",\"entry\":" +
                  entry + ",\"exit\":" + exit;
  if (!members.empty()) s += "," + members;
  return s + "}";
}

inline std::string request_json(const std::string& spec, const std::vector<Bar>& bs, const std::string& extra = "") {
  std::string s = "{\"spec\":" + spec + ",\"candles\":" + candles_json(bs);
  if (!extra.empty()) s += "," + extra;
  return s + "}";
}

// The indicators member of a strategy without any.
inline const std::string kNoIndicators = "{}";

// Rules used throughout.
inline const std::string kAlways = "{\"all\":[]}";
inline const std::string kNever = "{\"any\":[]}";
inline std::string close_eq(double x) { return "{\"eq\":[{\"price\":\"close\"}," + num(x) + "]}"; }

// A strategy without indicators whose `entry` rule opens a long or, for a
// short, opens a short as its `short_entry` (the long entry never true).
// `members` must not be empty.
inline std::string one_side_spec(bool short_side, const std::string& entry, const std::string& exit,
                                 const std::string& members) {
  return short_side ? spec_json(kNoIndicators, kNever, exit, "\"short_entry\":" + entry + "," + members)
                    : spec_json(kNoIndicators, entry, exit, members);
}

// The result document of a run that must succeed.
inline json::Value run_ok(const std::string& request) {
  auto r = run_backtest_json(request);
  if (!r.ok()) {
    ADD_FAILURE() << "backtest failed: " << r.error().to_string();
    return json::Value();
  }
  auto doc = json::parse(r.value());
  if (!doc.ok()) {
    ADD_FAILURE() << "result does not parse: " << doc.error().to_string();
    return json::Value();
  }
  return std::move(doc).value();
}

inline std::string run_error(const std::string& request) {
  auto r = run_backtest_json(request);
  if (r.ok()) return "<succeeded>";
  return r.error().to_string();
}

// Reading the result document.
inline double num_at(const json::Value& v, std::string_view key) {
  const json::Value* m = v.find(key);
  if (m == nullptr || !m->is_number()) {
    ADD_FAILURE() << "no number at " << key;
    return -12345.678;
  }
  return m->to_f64();
}
inline std::int64_t int_at(const json::Value& v, std::string_view key) {
  const json::Value* m = v.find(key);
  if (m == nullptr || (m->kind() != json::Kind::U64 && m->kind() != json::Kind::I64)) {
    ADD_FAILURE() << "no integer at " << key;
    return -12345;
  }
  return m->kind() == json::Kind::U64 ? static_cast<std::int64_t>(m->as_u64()) : m->as_i64();
}
inline std::string str_at(const json::Value& v, std::string_view key) {
  const json::Value* m = v.find(key);
  return m != nullptr && m->is_string() ? m->as_string() : "<none>";
}
inline const json::Value::Array& trades_of(const json::Value& doc) { return doc.find("trades")->as_array(); }
inline const json::Value& metrics_of(const json::Value& doc) { return *doc.find("metrics"); }
inline std::vector<double> equity_of(const json::Value& doc) {
  std::vector<double> out;
  for (const auto& p : doc.find("equity")->as_array()) out.push_back(num_at(p, "equity"));
  return out;
}

// A closed trade as the tests state it.
struct ExpectedTrade {
  std::int64_t entry_time;
  std::int64_t exit_time;
  double entry_price;
  double exit_price;
  double qty;
  double pnl;
  double return_pct;
  std::string reason;
};

inline void expect_trade(const json::Value& t, const ExpectedTrade& e) {
  EXPECT_EQ(int_at(t, "entry_time"), e.entry_time);
  EXPECT_EQ(int_at(t, "exit_time"), e.exit_time);
  EXPECT_DOUBLE_EQ(num_at(t, "entry_price"), e.entry_price);
  EXPECT_DOUBLE_EQ(num_at(t, "exit_price"), e.exit_price);
  EXPECT_DOUBLE_EQ(num_at(t, "qty"), e.qty);
  EXPECT_NEAR(num_at(t, "pnl"), e.pnl, 1e-9);
  EXPECT_NEAR(num_at(t, "return_pct"), e.return_pct, 1e-9);
  EXPECT_EQ(str_at(t, "reason"), e.reason);
}

}  // namespace vsci::testing
