// The comparison of an expected document with a run's records must give what
// the plain path gives: both documents parsed, flattened into maps and merged
// (the reference in support/harness_calls.h), every entry, value and order,
// and the parser's error for a text that does not read. The corpus holds
// results of every shape, expected documents moved from them (values, lists
// shorter and longer, members dropped), written as the engine writes them, in
// another writer's number forms and with blanks, under tolerances on every
// kind of path; and documents the walk must leave to the plain path.
#include "harness/result_compare.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "json/reader.h"
#include "json/writer.h"
#include "support/harness_calls.h"

namespace vsci {
namespace {

std::string bits_text(const std::optional<double>& v) {
  if (!v) return "none";
  return std::to_string(std::bit_cast<std::uint64_t>(*v));
}

std::string listed(const std::vector<DiffEntry>& diff) {
  std::string out;
  for (const DiffEntry& d : diff) out += d.field + " " + d.kind + " " + bits_text(d.expected) + " " + bits_text(d.actual) + "\n";
  return out;
}

// The reference's answer: the entries, or the parser's error.
std::string reference(std::string_view expected, const BacktestResult& r, const Tolerances& tolerances) {
  auto e = json::parse(expected);
  if (!e) return "error " + SessionError::json(e.error()).to_string();
  return listed(compare_documents(*e, json::parse(write_result(r)).value(), tolerances));
}

std::string walked(std::string_view expected, const BacktestResult& r, const Tolerances& tolerances) {
  auto diff = compare_with_result(ExpectedDocument::of_text(expected), r, tolerances);
  if (!diff) return "error " + diff.error().to_string();
  return listed(*diff);
}

void expect_same(const std::string& expected, const BacktestResult& r, const Tolerances& tolerances,
                 const std::string& what) {
  EXPECT_EQ(walked(expected, r, tolerances), reference(expected, r, tolerances)) << what << ": "
                                                                                 << expected.substr(0, 300);
}

// Every number with a fraction or an exponent rewritten in the shortest form
// to_chars picks (an exponent where that is shorter), as another language's
// writer would; integers stay as they are.
std::string other_number_forms(std::string_view text) {
  std::string out;
  bool in_string = false;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (in_string) {
      out += c;
      if (c == '\\') {
        out += text[i + 1];
        i += 2;
      } else {
        in_string = c != '"';
        ++i;
      }
      continue;
    }
    if (c == '"') {
      in_string = true;
      out += c;
      ++i;
      continue;
    }
    if (c != '-' && (c < '0' || c > '9')) {
      out += c;
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && std::strchr("+-0123456789.eE", text[j]) != nullptr) ++j;
    const std::string token(text.substr(i, j - i));
    if (token.find_first_of(".eE") == std::string::npos) {
      out += token;
    } else {
      char buf[64];
      out.append(buf, std::to_chars(buf, buf + sizeof buf, std::strtod(token.c_str(), nullptr)).ptr);
    }
    i = j;
  }
  return out;
}

// A compact text with blanks as json.dumps writes them: after every "," and
// ":" (indent 0), or each item and member on a line of its own, indented by
// `indent`, with ": " after keys.
std::string spaced(std::string_view text, int indent) {
  std::string out;
  int depth = 0;
  bool in_string = false;
  const auto line = [&] {
    out += '\n';
    out.append(static_cast<std::size_t>(depth * indent), ' ');
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      out += c;
      if (c == '\\') out += text[++i];
      else if (c == '"') in_string = false;
      continue;
    }
    if (c == '"') in_string = true;
    if ((c == '}' || c == ']') && indent > 0 && text[i - 1] != '{' && text[i - 1] != '[') {
      --depth;
      line();
    } else if (c == '}' || c == ']') {
      --depth;
    }
    out += c;
    if (c == ':') out += ' ';
    if (c == ',') indent > 0 ? line() : void(out += ' ');
    if ((c == '{' || c == '[') && ++depth > 0 && indent > 0 && text[i + 1] != '}' && text[i + 1] != ']') line();
  }
  return out;
}

double any(std::mt19937_64& rng) {
  const double special[] = {std::nan(""), std::numeric_limits<double>::infinity(), -0.0, 0.0, 1e16, 1e-7,
                            123.456, -9.999999999976694e-05, 1e300, 0.123456785};
  const std::uint64_t b = rng();
  if ((b & 3) == 0) return special[(b >> 2) % std::size(special)];
  return std::uniform_real_distribution<double>(-1e4, 1e4)(rng);
}

BacktestResult random_result(std::mt19937_64& rng, std::size_t points, std::size_t trades) {
  BacktestResult r;
  r.symbol = "BTC";
  r.timeframe = "1h";
  r.metrics = {any(rng), any(rng), any(rng), any(rng), any(rng), any(rng), any(rng), any(rng), rng() % 100};
  for (std::size_t t = 0; t < trades; ++t) {
    r.trades.push_back({static_cast<std::int64_t>(rng() >> 20), -static_cast<std::int64_t>(t), any(rng), any(rng),
                        any(rng), any(rng), any(rng), static_cast<ExitReason>(rng() % 6)});
  }
  for (std::size_t t = 0; t < points; ++t) r.equity.push_back({static_cast<std::int64_t>(t) * 3'600'000, any(rng)});
  r.fees_paid = any(rng);
  r.initial_capital = any(rng);
  return r;
}

// The result moved: some values nudged, a list shortened or lengthened.
BacktestResult moved(BacktestResult r, std::mt19937_64& rng) {
  const auto nudge = [&](double& v) {
    const std::uint64_t b = rng() % 8;
    if (b == 0) v += 1e-9;
    else if (b == 1) v *= 1.01;
    else if (b == 2) v = std::nan("");
  };
  nudge(r.fees_paid);
  nudge(r.metrics.sharpe);
  nudge(r.metrics.pnl);
  for (Trade& t : r.trades) nudge(t.qty), nudge(t.pnl);
  for (EquityPoint& p : r.equity) nudge(p.equity);
  const std::uint64_t shape = rng() % 4;
  if (shape == 0 && !r.equity.empty()) r.equity.resize(r.equity.size() / 2);
  if (shape == 1) r.equity.push_back({-1, 5.0});
  if (shape == 2 && !r.trades.empty()) r.trades.pop_back();
  return r;
}

std::vector<Tolerances> tolerance_sets() {
  const auto abs = [](double v) { return Tolerance{Tolerance::Kind::Abs, v}; };
  const auto rel = [](double v) { return Tolerance{Tolerance::Kind::Rel, v}; };
  return {
      {},
      {{"*", abs(1e-6)}},
      {{"equity[*]", abs(1e-3)}, {"metrics.sharpe", rel(0.05)}, {"trades[*].qty", rel(0.02)}},
      {{"equity[1].equity", abs(1e9)}, {"equity[10]", abs(1.0)}, {"trades[0].pnl", abs(-1)}},
      {{"*", abs(-1)}},
      {{"equity[*].equity[*]", abs(1e9)}, {"fees_paid", rel(1)}, {"metrics", abs(1)}, {"trades[*]", abs(-1)}},
  };
}

// A result's expected documents, each form of each under each tolerance set.
void expect_forms(const std::string& base, const BacktestResult& r, const std::string& what) {
  const std::string forms[] = {base, spaced(base, 0), spaced(base, 2), other_number_forms(base),
                               spaced(other_number_forms(base), 0), spaced(other_number_forms(base), 1)};
  for (const Tolerances& t : tolerance_sets()) {
    for (const std::string& f : forms) expect_same(f, r, t, what);
  }
}

TEST(ResultCompare, MovedResultsInEveryFormAnswerAsThePlainPath) {
  std::mt19937_64 rng(42);
  for (int i = 0; i < 60; ++i) {
    const BacktestResult r = random_result(rng, rng() % 30, rng() % 6);
    const BacktestResult e = i % 5 == 0 ? r : moved(r, rng);
    expect_forms(write_result(e, MemberOrder::Key), r, "key order " + std::to_string(i));
    if (i % 4 == 0) expect_forms(write_result(e), r, "declared order " + std::to_string(i));
  }
}

TEST(ResultCompare, MissingMembersAndOtherScalarsAnswerAsThePlainPath) {
  std::mt19937_64 rng(5);
  const BacktestResult r = random_result(rng, 12, 3);
  const std::string text = write_result(r, MemberOrder::Key);
  const json::Value tree = json::parse(text).value();
  // Each top-level member dropped in turn, then every member of the first
  // item of each list and of the metrics.
  for (std::size_t k = 0; k < tree.as_object().size(); ++k) {
    json::Value t = tree;
    t.as_object().erase(t.as_object().begin() + static_cast<std::ptrdiff_t>(k));
    expect_forms(json::write(t), r, "dropped " + tree.as_object()[k].key);
  }
  const std::string edits[][2] = {
      {R"("fees_paid":)", R"("fees_paid":"x","f":)"},  // a string where a number stands, then an unknown key
      {R"("schema_version":1)", R"("schema_version":null)"},
      {R"("symbol":"BTC")", R"("symbol":7)"},
      {R"("reason":")", R"("reason":3,"r":")"},
      {R"({"equity":)", R"({"equity":[],"e":)"},
      {R"("metrics":{)", R"("metrics":{"pnl":1,)"},                        // a metric given twice
      {R"({"equity":[{)", R"({"equity":[{"time":1,)"},                     // an item's member given twice
      {R"("fees_paid":)", R"("fees_paid":{"a":1},"x":)"},                  // a container where a number stands
      {R"("metrics":{)", R"("metrics.pnl":1,"metrics":{)"},                // a key holding "."
      {R"("metrics":{)", R"("metrics":{"a[0]":1,)"},                       // a key holding "["
      {R"("fees_paid":)", R"("fees_paid":1e400,"x":)"},                    // not finite: unreadable
      {R"("fees_paid":)", R"("fees_paid":01,"x":)"},                       // unreadable
      {R"({"equity":[)", R"({"equity":[)" + std::string(200, '[') + std::string(200, ']') + ","},  // too deep
      {R"("trades":[)", R"("trades":[)" + std::string(120, '[') + std::string(120, ']') + ","},    // deep but readable
      {R"("equity":[)", R"("equity":null,"q":[)"},
      {R"("equity":[)", R"("equity":{"0":1},"q":[)"},
      {R"("metrics":{)", R"("metrics":[1],"m":{)"},
  };
  for (const auto& [from, to] : edits) {
    std::string t = text;
    const std::size_t at = t.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    t.replace(at, from.size(), to);
    for (const Tolerances& tol : tolerance_sets()) {
      expect_same(t, r, tol, to);
      expect_same(spaced(t, 2), r, tol, to);
    }
  }
  // (An expected null is no expected document: nothing is compared.)
  for (const char* other : {"[]", "{}", "7", R"({"a":1})", "", "{", R"({"equity":[{"time":1}] x)"}) {
    expect_same(other, r, {}, other);
  }
}

// A changed strategy's expected document: every field of another run, its
// lists longer or shorter than the run's across a change in the number of
// digits, so that mismatches, missing and extra items all follow the text
// order of their indices, ranked without a sort. The records past the given
// items are marked in stretches of 16,384: some runs end on a stretch's last
// record, or one past it.
TEST(ResultCompare, EveryFieldMovedAnswersAsThePlainPath) {
  std::mt19937_64 rng(31);
  const std::pair<std::size_t, std::size_t> lengths[][2] = {{{60'000, 1'000}, {12'345, 999}},
                                                            {{9'999, 10}, {100'000, 9}},
                                                            {{0, 0}, {30'000, 101}},
                                                            {{32'868, 3}, {100, 2}},
                                                            {{16'385, 0}, {0, 1}}};
  for (const auto& [run, expected] : lengths) {
    const BacktestResult r = random_result(rng, run.first, run.second);
    const std::string text = write_result(random_result(rng, expected.first, expected.second), MemberOrder::Key);
    const std::string what = std::to_string(expected.first) + " points given for " + std::to_string(run.first);
    const std::vector<Tolerances> sets = tolerance_sets();
    for (const std::size_t k : {0, 2, 3}) expect_same(text, r, sets[k], what);
    expect_same(spaced(text, 2), r, {}, what + ", indented");
  }
}

// Long lists are read in pieces cut at item joints, which may lie inside a
// string; a fault late in a list gives the parser's error.
TEST(ResultCompare, LongListsInPiecesAnswerAsThePlainPath) {
  std::mt19937_64 rng(11);
  const BacktestResult r = random_result(rng, 60'000, 12'000);
  const BacktestResult e = moved(r, rng);
  const std::string text = write_result(e, MemberOrder::Key);
  const Tolerances some = tolerance_sets()[2];
  for (const std::string& form : {text, spaced(other_number_forms(text), 2)}) {
    expect_same(form, r, some, "long");
    expect_same(form, r, {}, "long");
  }
  // Reasons holding the joint between two items, in every trade.
  std::string joints = text;
  for (std::size_t at = 0; (at = joints.find(R"("reason":")", at)) != std::string::npos; at += 12) {
    joints.insert(at + 10, R"(}, {\"x\":1},{)");
  }
  expect_same(joints, r, some, "joints in strings");
  expect_same(spaced(joints, 0), r, some, "joints in strings, spaced");
  // Faults late in each list.
  const std::string lates[] = {R"("time":)" + std::to_string(59'000LL * 3'600'000), R"("entry_time":)"};
  for (const std::string& late : lates) {
    std::string bad = text;
    const std::size_t at = bad.rfind(late);
    ASSERT_NE(at, std::string::npos);
    bad.insert(at + late.size(), "+");
    expect_same(bad, r, {}, "late fault");
    std::string twice = text;
    twice.insert(at, late + "1,");
    expect_same(twice, r, {}, "late repeated key");
  }
  // A joint, as the scanner cuts lists of trades, inside every reason: the
  // text does not read, whichever piece meets it first.
  std::string raw = text;
  for (std::size_t at = 0; (at = raw.find(R"("reason":")", at)) != std::string::npos; at += 12) {
    raw.insert(at + 10, R"(},{"entry_price":)");
  }
  expect_same(raw, r, {}, "a raw joint in strings");
  // A tree expected document goes the plain way too.
  const json::Value tree = json::parse(text).value();
  auto diff = compare_with_result(ExpectedDocument::of_tree(tree), r, some);
  ASSERT_TRUE(diff.ok());
  EXPECT_EQ(listed(*diff), reference(text, r, some));
}

}  // namespace
}  // namespace vsci

namespace vsci {
namespace {

// Every occurrence of `from` in `text` at or after `begin` and before `end`
// (offsets into the text as given) replaced by `to`.
std::string replaced(std::string text, std::string_view from, std::string_view to, std::size_t begin = 0,
                     std::size_t end = std::string::npos) {
  std::size_t stop = end;
  for (std::size_t at = begin; (at = text.find(from, at)) != std::string::npos && at < stop; at += to.size()) {
    text.replace(at, from.size(), to);
    if (stop != std::string::npos) stop += to.size() - from.size();
  }
  return text;
}

// The pieces of a list are cut where its items join as its first two do: a
// list whose items are laid out otherwise from some item on (or from the
// first) is read in fewer pieces or whole, and one whose list before it is
// short is read past that list's end; the answer stays the plain path's.
TEST(ResultCompare, LongListsOfAnyLayoutAnswerAsThePlainPath) {
  std::mt19937_64 rng(23);
  const BacktestResult r = random_result(rng, 60'000, 12'000);
  const BacktestResult e = moved(r, rng);
  const Tolerances some = tolerance_sets()[2];
  const std::string declared = write_result(e);
  for (const std::string& form : {declared, spaced(declared, 0), spaced(declared, 2)}) {
    expect_same(form, r, some, "declared order");
  }
  const std::string text = write_result(e, MemberOrder::Key);
  // The first item alone, or a stretch of items from the middle of each
  // list, joined with a blank where the others have none.
  expect_same(replaced(text, R"([{"equity":)", R"([{ "equity":)"), r, some, "first point unlike the rest");
  expect_same(replaced(text, R"([{"entry_price":)", R"([{ "entry_price":)"), r, some, "first trade unlike the rest");
  const std::size_t mid = text.size() / 4;
  std::string middle = replaced(text, R"(},{"equity":)", R"(}, {"equity":)", mid, mid + 300'000);
  const std::size_t trades = middle.find(R"("trades":[)");
  ASSERT_NE(trades, std::string::npos);
  const std::size_t trades_mid = trades + (middle.size() - trades) / 2;
  middle = replaced(middle, R"(},{"entry_price":)", "},\n{\"entry_price\":", trades_mid, trades_mid + 300'000);
  expect_same(middle, r, some, "a stretch laid out otherwise");
  expect_same(spaced(middle, 0), r, some, "a stretch laid out otherwise, spaced");
  // A short list of points before a long one of trades, and the reverse.
  const BacktestResult few_points = random_result(rng, 5, 12'000);
  expect_same(write_result(moved(few_points, rng), MemberOrder::Key), few_points, some, "few points");
  const BacktestResult no_trades = random_result(rng, 60'000, 0);
  expect_same(write_result(moved(no_trades, rng), MemberOrder::Key), no_trades, some, "no trades");
}

}  // namespace
}  // namespace vsci
