// Blessing records what the strategy does today as what it must keep doing;
// nothing is checked, so a failing property cannot block it.
//
// The output is stored as a tree would write it (objects in key order), but
// without building the tree: the result text is rewritten in one pass, each
// object's members reordered where the engine's declared order differs.
#include "harness/bless.h"

#include <algorithm>

#include "harness/backtest_call.h"
#include "json/reader.h"
#include "json/writer.h"

namespace vsci {

namespace {

// Byte order of keys, as the tree orders its members.
bool key_less(std::string_view a, std::string_view b) { return a < b; }

// Rewrites one JSON text in tree form. Scalars are copied as they stand where
// that is the text the tree would write: the engine writes every number in
// the writer's own shortest forms; a number with an exponent or of more than
// 18 characters, -0, and a string with escapes are read and written afresh.
class KeyOrderRewriter {
 public:
  explicit KeyOrderRewriter(std::string_view text) : text_(text), reader_(text), members_(json::kMaxDepth + 2) {}

  Expected<std::string, json::Error> run() {
    out_.reserve(text_.size() + 16);
    if (auto v = value(0); !v) return unexpected(std::move(v.error()));
    if (auto f = reader_.finish(); !f) return unexpected(std::move(f.error()));
    return std::move(out_);
  }

 private:
  struct Member {
    std::string_view text_key;  // the key as it stands in the text, when it has no escapes
    std::string decoded;        // else the decoded key
    bool escaped = false;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string_view key() const { return escaped ? std::string_view(decoded) : text_key; }
  };

  // Whether `s`, as the reader returned it, lies in the text (so it had no
  // escapes and stands there as it is).
  bool in_text(std::string_view s) const {
    return s.data() >= text_.data() && s.data() + s.size() <= text_.data() + text_.size();
  }

  Expected<void, json::Error> value(std::size_t depth) {
    const int c = reader_.peek();
    if (c == '{') return object(depth);
    if (c == '[') return array(depth);
    const std::size_t start = reader_.offset();
    if (c == '"') {
      auto s = reader_.read_str();
      if (!s) return unexpected(std::move(s.error()));
      if (in_text(*s)) out_ += text_.substr(start, reader_.offset() - start);
      else json::append_string(out_, *s);
      return {};
    }
    if (c == '-' || (c >= '0' && c <= '9')) return number(start);
    if (auto s = reader_.skip_value(); !s) return s;
    out_ += text_.substr(start, reader_.offset() - start);
    return {};
  }

  // A number without an exponent and of at most 18 characters cannot be out
  // of range, and is copied; any other is read and written as the tree would.
  Expected<void, json::Error> number(std::size_t start) {
    if (auto s = reader_.skip_value(); !s) return s;
    const std::string_view raw = text_.substr(start, reader_.offset() - start);
    bool plain = raw.size() <= 18 && raw != "-0";
    for (std::size_t i = 0; plain && i < raw.size(); ++i) plain = raw[i] != 'e' && raw[i] != 'E';
    if (plain) {
      out_ += raw;
      return {};
    }
    auto tree = json::parse(raw);
    if (!tree) return unexpected(reader_.locate(std::move(tree.error())));
    out_ += json::write(*tree);
    return {};
  }

  Expected<void, json::Error> array(std::size_t depth) {
    if (auto b = reader_.begin_array(); !b) return b;
    out_ += '[';
    for (bool first = true;; first = false) {
      auto more = reader_.next_element();
      if (!more) return unexpected(std::move(more.error()));
      if (!*more) break;
      if (!first) out_ += ',';
      if (auto v = value(depth + 1); !v) return v;
    }
    out_ += ']';
    return {};
  }

  Expected<void, json::Error> object(std::size_t depth) {
    if (auto b = reader_.begin_object(); !b) return b;
    out_ += '{';
    const std::size_t body = out_.size();
    std::size_t count = 0;
    std::string_view key;
    for (;;) {
      auto more = reader_.next_member(key);
      if (!more) return unexpected(std::move(more.error()));
      if (!*more) break;
      std::vector<Member>& ms = members_[depth];
      if (count == ms.size()) ms.emplace_back();
      Member& m = ms[count++];  // the deeper levels use other vectors
      m.escaped = !in_text(key);
      if (count > 1) out_ += ',';
      m.begin = out_.size();
      if (m.escaped) {
        m.decoded.assign(key);
        json::append_string(out_, key);
      } else {
        m.text_key = key;
        out_ += '"';
        out_ += key;
        out_ += '"';
      }
      out_ += ':';
      if (auto v = value(depth + 1); !v) return v;
      m.end = out_.size();
    }
    std::vector<Member>& ms = members_[depth];
    bool ordered = true;
    for (std::size_t i = 1; i < count && ordered; ++i) ordered = key_less(ms[i - 1].key(), ms[i].key());
    if (!ordered) reorder(ms, count, body);
    out_ += '}';
    return {};
  }

  // Members by key, stably, the last of a repeated key kept.
  void reorder(std::vector<Member>& ms, std::size_t count, std::size_t body) {
    order_.resize(count);
    for (std::size_t i = 0; i < count; ++i) order_[i] = i;
    const auto before = [&](std::size_t a, std::size_t b) { return key_less(ms[a].key(), ms[b].key()); };
    if (count <= 16) {
      // Small records (most objects): a stable insertion sort, no buffer.
      for (std::size_t i = 1; i < count; ++i) {
        for (std::size_t j = i; j > 0 && before(order_[j], order_[j - 1]); --j) std::swap(order_[j], order_[j - 1]);
      }
    } else {
      std::stable_sort(order_.begin(), order_.end(), before);
    }
    scratch_.assign(out_, body, std::string::npos);
    out_.resize(body);
    bool first = true;
    for (std::size_t k = 0; k < count; ++k) {
      const Member& m = ms[order_[k]];
      if (k + 1 < count && ms[order_[k + 1]].key() == m.key()) continue;
      if (!first) out_ += ',';
      first = false;
      out_.append(scratch_, m.begin - body, m.end - m.begin);
    }
    // The top-level object's copy is as large as the document: not kept.
    if (scratch_.capacity() > (std::size_t{1} << 20)) std::string().swap(scratch_);
  }

  std::string_view text_;
  json::Reader reader_;
  std::string out_;
  std::vector<std::vector<Member>> members_;
  std::vector<std::size_t> order_;
  std::string scratch_;
};

// The output of the test's main backtest in tree form.
Expected<std::string, SessionError> blessed_output(const StrategyTest& test, const Datasets& data) {
  const std::vector<Candle>* candles = find_dataset(data, test.dataset_ref);
  if (candles == nullptr) return unexpected(SessionError::data("missing dataset: " + test.dataset_ref));
  auto output = run_backtest_text(test.strategy, *candles);
  if (!output) return unexpected(std::move(output).error());
  auto rewritten = KeyOrderRewriter(*output).run();
  if (!rewritten) return unexpected(SessionError::json(rewritten.error()));
  return std::move(rewritten).value();
}

}  // namespace

Expected<StrategyTest, SessionError> bless_test(const StrategyTest& test, const Datasets& data) {
  auto output = blessed_output(test, data);
  if (!output) return unexpected(std::move(output).error());
  auto tree = json::parse(*output);
  if (!tree) return unexpected(SessionError::json(tree.error()));
  StrategyTest blessed = test;
  blessed.expected = std::move(tree).value();
  blessed.expected_text = {};
  return blessed;
}

Expected<std::string, SessionError> bless_answer(const StrategyTest& test, const Datasets& data) {
  auto output = blessed_output(test, data);
  if (!output) return unexpected(std::move(output).error());
  return write_strategy_test(test, std::string_view(*output));
}

Expected<std::string, SessionError> bless_command(const json::Value& command) {
  auto envelope = read_test_envelope(command);
  if (!envelope) return unexpected(SessionError::json(envelope.error()));
  return bless_answer(envelope->test, envelope->data);
}

}  // namespace vsci
