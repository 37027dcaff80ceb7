// The written-directly paths of the command's bulk text against the general
// ones: candle lists read by the engine against the plain record reader (same
// values, or the same message at the same position, on generated and broken
// texts), the harness's request text against the document tree written out,
// and the result document against its layout joined member by member.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/readers.h"
#include "engine/result.h"
#include "engine/typed_read.h"
#include "harness/backtest_call.h"
#include "json/number_format.h"
#include "json/reader.h"
#include "json/typed.h"
#include "json/writer.h"

namespace vsci {
namespace {

using json::Reader;
using typed::Status;

constexpr json::Field kCandleFields[] = {{"time", true}, {"open", true},  {"high", true},
                                         {"low", true},  {"close", true}, {"volume", false}};
constexpr json::Record kCandle{"Candle", kCandleFields};

// A candle list read member by member, with nothing but the record reader.
Status reference_candles(Reader& r, std::vector<Candle>& out) {
  return typed::read_list(r, [&](Reader& rr) {
    Candle& c = out.emplace_back();
    return typed::read_struct(rr, kCandle, [&](std::size_t i, Reader& f) -> Status {
      if (i == 0) return typed::read_i64(f, c.time);
      double* const slots[] = {&c.open, &c.high, &c.low, &c.close, &c.volume};
      return typed::read_f64(f, *slots[i - 1]);
    });
  });
}

// The outcome of reading `text` as one candle list: the candles' bits, or the
// message with its position.
std::string outcome(const std::string& text, bool engine, int depth = 0) {
  Reader r(text);
  for (int d = 0; d < depth; ++d) {
    if (!r.begin_array().ok() || !r.next_element().ok()) return "wrapper";
  }
  std::vector<Candle> candles;
  Status s = engine ? read_candles(r, candles) : reference_candles(r, candles);
  if (s.ok() && depth == 0) s = r.finish();
  if (!s.ok()) return "error: " + s.error().to_string();
  std::string bits;
  for (const Candle& c : candles) {
    const double v[] = {c.open, c.high, c.low, c.close, c.volume};
    bits += std::to_string(c.time);
    for (double x : v) {
      std::uint64_t b;
      std::memcpy(&b, &x, 8);
      bits += " " + std::to_string(b);
    }
    bits += ";";
  }
  return bits;
}

class TextMaker {
 public:
  explicit TextMaker(std::uint64_t seed) : rng_(seed) {}

  std::uint64_t next() { return rng_(); }
  bool one_in(std::uint64_t n) { return rng_() % n == 0; }

  std::string number(bool integer) {
    switch (rng_() % 10) {
      case 0: return std::to_string(static_cast<std::int64_t>(rng_()) >> (rng_() % 64));
      case 1: return integer ? "1700000000000" : "0.1";
      case 2: return std::vector<std::string>{"-0", "0", "-0.0", "1e3", "2E-5", "1.5e+300", "9223372036854775807",
                                               "9223372036854775808", "-9223372036854775808", "18446744073709551616",
                                               "12345678901234567890", "0.30000000000000004", "1e400", "-1e-400",
                                               "00", "01", "1.", ".5", "-", "1.e5", "+1", "1ee"}[rng_() % 22];
      default: {
        double v;
        const std::uint64_t kind = rng_() % 3;
        if (kind == 0) {
          v = 30000.0 + std::ldexp(static_cast<double>(rng_() >> 11), -40);
        } else if (kind == 1) {
          v = static_cast<double>(rng_() % 100000000) / 100.0;
        } else {
          std::uint64_t b = rng_();
          std::memcpy(&v, &b, 8);
        }
        std::string s;
        json::append_f64(s, (rng_() & 1) ? v : -v);
        return integer && !one_in(4) ? std::to_string(static_cast<std::int64_t>(rng_() >> 20)) : s;
      }
    }
  }

  std::string blank() { return one_in(12) ? std::string(" \n\t\r").substr(rng_() % 4, 1) : ""; }

  std::string candle() {
    static const char* const kSorted[] = {"close", "high", "low", "open", "time", "volume"};
    static const char* const kDeclared[] = {"time", "open", "high", "low", "close", "volume"};
    const std::uint64_t form = rng_() % 8;
    if (form == 0) {
      std::string s = "[" + blank() + number(true);
      const int n = one_in(5) ? static_cast<int>(rng_() % 8) : 5;
      for (int i = 0; i < n; ++i) s += blank() + "," + blank() + number(false);
      return s + blank() + "]";
    }
    const char* const* names = form <= 4 ? kSorted : form <= 6 ? kDeclared : nullptr;
    std::vector<std::string> keys;
    for (int i = 0; i < 6; ++i) keys.push_back(names ? names[i] : kSorted[rng_() % 6]);
    if (one_in(6)) keys.erase(keys.begin() + static_cast<std::ptrdiff_t>(rng_() % keys.size()));
    if (one_in(8)) keys.insert(keys.begin() + static_cast<std::ptrdiff_t>(rng_() % keys.size()), "note");
    std::string s = "{";
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (i) s += blank() + "," + blank();
      s += "\"" + keys[i] + "\"" + blank() + ":" + blank();
      s += keys[i] == "note" ? "[1,{\"a\":null}]" : number(keys[i] == "time");
    }
    return s + blank() + "}";
  }

  std::string list() {
    std::string s = "[";
    const std::size_t n = rng_() % 6;
    for (std::size_t i = 0; i < n; ++i) s += (i ? "," : "") + candle();
    return s + "]";
  }

  // One random edit: a byte dropped, replaced or added, or the text cut.
  std::string broken(std::string s) {
    static const std::string kBytes = "{}[],:\" 0-.eE19nx\\";
    const std::size_t at = s.empty() ? 0 : rng_() % s.size();
    switch (rng_() % 4) {
      case 0: if (!s.empty()) s.erase(at, 1); break;
      case 1: if (!s.empty()) s[at] = kBytes[rng_() % kBytes.size()]; break;
      case 2: s.insert(at, 1, kBytes[rng_() % kBytes.size()]); break;
      default: s.resize(at); break;
    }
    return s;
  }

 private:
  std::mt19937_64 rng_;
};

TEST(RequestCandleText, DirectPathReadsWhatTheRecordReaderReads) {
  TextMaker make(41);
  int failures = 0;
  int successes = 0;
  for (int i = 0; i < 30000; ++i) {
    std::string text = make.list();
    if (make.one_in(2)) text = make.broken(text);
    if (make.one_in(4)) text = make.broken(text);
    const std::string want = outcome(text, false);
    ASSERT_EQ(outcome(text, true), want) << text;
    (want.rfind("error: ", 0) == 0 ? failures : successes) += 1;
  }
  // Both outcomes were exercised in earnest.
  EXPECT_GT(failures, 5000);
  EXPECT_GT(successes, 3000);
}

TEST(RequestCandleText, CandlesAtTheNestingLimit) {
  // The list at depth 126 holds candles at 127; one level deeper they are refused.
  const std::string candles = R"([{"close":1.5,"high":2.0,"low":0.5,"open":1.0,"time":1,"volume":3.0},[1,2,3,4,5,6]])";
  for (int depth : {125, 126}) {
    const std::string text = std::string(static_cast<std::size_t>(depth), '[') + candles;
    EXPECT_EQ(outcome(text, true, depth), outcome(text, false, depth)) << depth;
  }
  const std::string deep = std::string(126, '[') + candles;
  EXPECT_NE(outcome(deep, true, 126).find("recursion limit exceeded"), std::string::npos);
}

double any_double(std::mt19937_64& rng) {
  switch (rng() % 4) {
    case 0: {
      const std::uint64_t b = rng();
      double v;
      std::memcpy(&v, &b, 8);
      return v;
    }
    case 1: return 100.0 + std::ldexp(static_cast<double>(rng() >> 11), -45);
    case 2: return static_cast<double>(rng() % 1000000) / 4.0;
    default: {
      const double specials[] = {0.0, -0.0, std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                                 1e16, 1e-7, 5e-324, 1.7976931348623157e308};
      return specials[rng() % 9];
    }
  }
}

std::int64_t any_time(std::mt19937_64& rng) {
  switch (rng() % 3) {
    case 0: return static_cast<std::int64_t>(rng());
    case 1: return rng() & 1 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    default: return 1700000000000 + static_cast<std::int64_t>(rng() % 100000000);
  }
}

TEST(RequestText, CandlesWrittenDirectlyAsTheDocumentTreeWouldBe) {
  std::mt19937_64 rng(43);
  json::Value strategy = json::Value::object();
  strategy.set("symbol", json::Value::string("a\"b\\c\n\x01 é"));
  strategy.set("params", json::Value::array({json::Value::f64(1.5), json::Value::i64(-3), json::Value::null()}));
  for (std::size_t n : {0, 1, 2, 7, 1000, 30000}) {
    std::vector<Candle> candles(n);
    json::Value list = json::Value::array();
    for (Candle& c : candles) {
      c = {any_time(rng), any_double(rng), any_double(rng), any_double(rng), any_double(rng), any_double(rng)};
      json::Value o = json::Value::object();
      o.set("time", json::Value::i64(c.time));
      o.set("open", json::Value::f64(c.open));
      o.set("high", json::Value::f64(c.high));
      o.set("low", json::Value::f64(c.low));
      o.set("close", json::Value::f64(c.close));
      o.set("volume", json::Value::f64(c.volume));
      list.push_back(std::move(o));
    }
    json::Value doc = json::Value::object();
    doc.set("candles", std::move(list));
    doc.set("spec", strategy);
    ASSERT_EQ(write_backtest_request(strategy, candles), json::write(doc)) << n;
  }
}

// The result document laid out from its member list, values in their text
// forms joined one by one.
std::string reference_result(const BacktestResult& r) {
  auto f = [](double v) {
    std::string s;
    json::append_f64(s, v);
    return s;
  };
  auto q = [](std::string_view text) {
    json::Writer w;
    w.string(text);
    return w.take();
  };
  const Metrics& m = r.metrics;
  std::string out = "{\"schema_version\":" + std::to_string(r.schema_version) + ",\"symbol\":" + q(r.symbol) +
                    ",\"timeframe\":" + q(r.timeframe) + ",\"metrics\":{\"pnl\":" + f(m.pnl) +
                    ",\"return_pct\":" + f(m.return_pct) + ",\"sharpe\":" + f(m.sharpe) + ",\"sortino\":" +
                    f(m.sortino) + ",\"calmar\":" + f(m.calmar) + ",\"max_drawdown\":" + f(m.max_drawdown) +
                    ",\"win_rate\":" + f(m.win_rate) + ",\"profit_factor\":" + f(m.profit_factor) +
                    ",\"num_trades\":" + std::to_string(m.num_trades) + "},\"trades\":[";
  for (std::size_t i = 0; i < r.trades.size(); ++i) {
    const Trade& t = r.trades[i];
    out += (i ? ",{\"entry_time\":" : "{\"entry_time\":") + std::to_string(t.entry_time) +
           ",\"exit_time\":" + std::to_string(t.exit_time) + ",\"entry_price\":" + f(t.entry_price) +
           ",\"exit_price\":" + f(t.exit_price) + ",\"qty\":" + f(t.qty) + ",\"pnl\":" + f(t.pnl) +
           ",\"return_pct\":" + f(t.return_pct) + ",\"reason\":" + q(exit_reason_text(t.reason)) + "}";
  }
  out += "],\"equity\":[";
  for (std::size_t i = 0; i < r.equity.size(); ++i) {
    out += (i ? ",{\"time\":" : "{\"time\":") + std::to_string(r.equity[i].time) + ",\"equity\":" +
           f(r.equity[i].equity) + "}";
  }
  return out + "],\"fees_paid\":" + f(r.fees_paid) + ",\"initial_capital\":" + f(r.initial_capital) + "}";
}

TEST(ResultText, WrittenDirectlyAsLaidOutMemberByMember) {
  std::mt19937_64 rng(47);
  for (std::size_t n : {0, 1, 3, 500, 50000}) {
    BacktestResult r;
    r.symbol = n % 2 ? "BTC\"\n" : "ETHUSDT";
    r.timeframe = "1h";
    r.metrics = {any_double(rng), any_double(rng), any_double(rng), any_double(rng), any_double(rng),
                 any_double(rng), any_double(rng), any_double(rng), rng()};
    for (std::size_t i = 0; i < n / 10 + 1; ++i) {
      r.trades.push_back({any_time(rng), any_time(rng), any_double(rng), any_double(rng), any_double(rng),
                          any_double(rng), any_double(rng), static_cast<ExitReason>(rng() % 6)});
    }
    for (std::size_t i = 0; i < n; ++i) r.equity.push_back({any_time(rng), any_double(rng)});
    r.fees_paid = any_double(rng);
    r.initial_capital = any_double(rng);
    ASSERT_EQ(write_result(r), reference_result(r)) << n;
  }
}

}  // namespace
}  // namespace vsci
