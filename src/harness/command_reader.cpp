// The tree reading of an envelope visits members in key order, keeps the last
// of a repeated key and reports the first failure in that order; reading in
// text order gives the same envelope exactly when nothing fails and no key
// that matters repeats, which is all this reader accepts.
#include "harness/command_reader.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <utility>

#include "engine/candle_codec.h"
#include "harness/envelopes.h"
#include "json/reader.h"
#include "json/scanner.h"
#include "util/parallel.h"

namespace vsci {

namespace {

using json::Reader;

// The text of the value at the reader's position, skipped by its structure
// alone; empty when it does not close within the nesting room left there.
std::string_view skip_unread(Reader& r) {
  r.peek();
  const std::string_view text = r.text();
  const std::size_t start = r.offset();
  const std::size_t end = json::skip_structure(text, start, json::kMaxDepth - r.depth());
  if (end == json::kNoEnd) return {};
  r.rewind(end);
  return text.substr(start, end - start);
}

// A dataset's candles: read in full, or up to a candle the tree refuses too
// (`refused`, the list then read to its end as plain values), or not
// readable (the tree must read the command).
struct DatasetRead {
  bool readable = false;
  std::optional<json::Error> refused;
};

// The tree's error for the candle starting at `start`, which the reader did
// not take, the reader then put after it in the list open at `list_depth`;
// nothing when the tree would take it or when the text around it does not
// parse (the tree then reports that instead).
std::optional<json::Error> tree_refusal(Reader& r, std::size_t start, int list_depth) {
  const std::string_view text = r.text();
  const std::size_t end = json::skip_structure(text, start, json::kMaxDepth - list_depth);
  if (end == json::kNoEnd) return std::nullopt;
  auto tree = json::parse(text.substr(start, end - start));
  if (!tree) return std::nullopt;
  auto candle = read_candle_value(*tree);
  if (candle) return std::nullopt;
  r.resume_after_element(end, list_depth);
  return std::move(candle).error();
}

// The rest of a dataset's candle list, from where `r` stands inside it (its
// first candles taken, or none). The first candle that does not read ends the
// reading of candles.
DatasetRead read_candles_on(Reader& r, std::vector<Candle>& out) {
  DatasetRead read;
  const int depth = r.depth();
  for (;;) {
    auto item = r.next_element();
    if (!item) return read;
    if (!*item) break;
    if (read.refused) {
      if (!json::skip_checked(r)) return read;
      continue;
    }
    r.peek();
    const std::size_t start = r.offset();
    if (read_candle_as_tree_would(r, out.emplace_back())) continue;
    read.refused = tree_refusal(r, start, depth);
    if (!read.refused) return read;
  }
  read.readable = true;
  return read;
}

// The datasets, ordered by name, and the tree's error for the first that
// holds a candle it refuses. From the first list on, the lists are read in
// pieces that cut them while reading, across the names between them, as far
// as their candles are compact. The lists after that are read here, or, when
// pieces pay off, found by their brackets (within the nesting room they stand
// in) and read side by side, a reader of their own each, so that a suite's
// many datasets do not wait for one another.
std::optional<std::pair<Datasets, std::optional<json::Error>>> read_data(Reader& r) {
  if (r.peek() != '{' || !r.begin_object().ok()) return std::nullopt;
  Datasets data;
  std::vector<DatasetRead> reads;
  std::vector<std::string_view> later;
  std::string_view key;
  for (;;) {
    auto more = r.next_member(key);
    if (!more) return std::nullopt;
    if (!*more) break;
    data.emplace_back(std::string(key), std::vector<Candle>{});
    if (data.size() == 1 || !pieces_pay_off()) {
      if (!json::list_opens(r)) return std::nullopt;
      const json::ListEnd end = read_candle_map_in_pieces(r, data);
      reads.resize(data.size(), DatasetRead{true, std::nullopt});
      if (end == json::ListEnd::Closed) continue;
      reads.back() = read_candles_on(r, data.back().second);
      if (!reads.back().readable) return std::nullopt;
      continue;
    }
    reads.emplace_back();
    later.resize(data.size());
    later.back() = skip_unread(r);
    if (later.back().empty()) return std::nullopt;
  }
  std::atomic<bool> unreadable{false};
  for_each_piece(later.size(), [&](std::size_t k) {
    if (later[k].empty()) return;
    Reader own(later[k]);
    if (own.peek() == '[' && own.begin_array().ok()) reads[k] = read_candles_on(own, data[k].second);
    if (!reads[k].readable || !own.finish().ok()) unreadable = true;
  });
  if (unreadable) return std::nullopt;
  std::vector<std::size_t> order(data.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return data[a].first < data[b].first; });
  std::pair<Datasets, std::optional<json::Error>> out;
  for (const std::size_t i : order) {
    if (!out.first.empty() && out.first.back().first == data[i].first) return std::nullopt;
    if (reads[i].refused && !out.second) out.second = std::move(reads[i].refused);
    out.first.push_back(std::move(data[i]));
  }
  return out;
}

// A test object's members as a tree, all but `expected`, which is only
// skipped over by its structure (it is read, and so checked, when compared).
std::optional<StrategyTest> read_test(Reader& r) {
  if (r.peek() != '{') {
    auto v = r.read_value();
    if (!v) return std::nullopt;
    auto t = read_strategy_test(*v);
    if (!t) return std::nullopt;
    return std::move(*t);
  }
  if (!r.begin_object().ok()) return std::nullopt;
  json::Value::Object members;
  std::optional<std::string_view> expected;
  std::string_view key;
  for (;;) {
    auto more = r.next_member(key);
    if (!more) return std::nullopt;
    if (!*more) break;
    if (key == "expected") {
      if (expected) return std::nullopt;
      expected = skip_unread(r);
      if (expected->empty()) return std::nullopt;
      continue;
    }
    json::Value::Member& m = members.emplace_back();
    m.key.assign(key);
    auto v = r.read_value();
    if (!v) return std::nullopt;
    m.value = std::move(*v);
  }
  auto t = read_strategy_test(json::Value::object(std::move(members)));
  if (!t) return std::nullopt;
  // Anything but null stays text, to be read (and so checked) later.
  if (expected) t->expected = ExpectedDocument::of_text(*expected);
  return std::move(*t);
}

// A suite's tests, from their list's '[' on (json::read_list: a piece is a
// run of whole tests, and a cut that falls inside a test leaves the piece
// before it unread).
bool read_tests(Reader& r, std::vector<StrategyTest>& out) {
  std::vector<std::vector<StrategyTest>> parts;
  const bool read = json::read_list(r, parts, [](Reader& rr, std::vector<StrategyTest>& tests) {
    auto test = read_test(rr);
    if (test) tests.push_back(std::move(*test));
    return test.has_value();
  });
  for (std::vector<StrategyTest>& part : parts) std::move(part.begin(), part.end(), std::back_inserter(out));
  return read;
}

}  // namespace

std::optional<TextEnvelope> read_envelope_from_text(std::string_view text, TextLayoutOf layout_of) {
  Reader r(text);
  if (r.peek() != '{' || !r.begin_object().ok()) return std::nullopt;
  std::string_view key;
  auto first = r.next_member(key);
  if (!first || !*first || key != "cmd") return std::nullopt;
  auto cmd = r.read_str();
  if (!cmd) return std::nullopt;
  TextEnvelope env;
  env.cmd.assign(*cmd);
  const std::optional<EnvelopeLayout> layout = layout_of(env.cmd);
  if (!layout) return std::nullopt;
  const bool suite = *layout == EnvelopeLayout::TestsAndData;
  const std::string_view tests_key = tests_member(*layout);
  bool have_tests = false;
  bool have_data = false;
  for (;;) {
    auto more = r.next_member(key);
    if (!more) return std::nullopt;
    if (!*more) break;
    if (key == "cmd") return std::nullopt;
    if (key == tests_key) {
      if (have_tests) return std::nullopt;
      have_tests = true;
      if (!suite) {
        auto t = read_test(r);
        if (!t) return std::nullopt;
        env.envelope.tests.push_back(std::move(*t));
        continue;
      }
      if (!read_tests(r, env.envelope.tests)) return std::nullopt;
    } else if (key == "data") {
      if (have_data) return std::nullopt;
      have_data = true;
      auto data = read_data(r);
      if (!data) return std::nullopt;
      env.envelope.data = std::move(data->first);
      env.refused = std::move(data->second);
    } else if (!json::skip_checked(r)) {
      return std::nullopt;
    }
  }
  if (!have_tests || !r.finish().ok()) return std::nullopt;
  return env;
}

}  // namespace vsci
