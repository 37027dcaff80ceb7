// Every command answers with text and never fails: a bad command becomes an
// error answer, so the caller needs one parsing path whatever happened.
//
// The tree of the whole command stays the reference for every answer; the
// text reader is a faster second reader of the same envelope, and whatever it
// cannot vouch for is read again from the tree.
#include "harness/session.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <variant>

#include "harness/bless.h"
#include "harness/command_reader.h"
#include "harness/envelopes.h"
#include "harness/run_one.h"
#include "harness/session_error.h"
#include "harness/suite.h"
#include "json/reader.h"
#include "json/writer.h"
#include "util/expected.h"
#include "util/interrupt.h"

namespace vsci {

namespace {

using Answer = Expected<std::string, SessionError>;

// How a body that reads expected documents ends on one of the text that does
// not parse (see hands_to_tree): no answer of the body could stand.
struct Stopped {};
using Outcome = std::variant<Answer, Stopped>;

Outcome version_body(const CommandEnvelope&) {
  json::Value answer = json::Value::object();
  answer.set("version", json::Value::string(std::string(kVersion)));
  return json::write(answer);
}

Outcome list_body(const CommandEnvelope& env) {
  std::vector<std::string> ids = collect_test_ids(env.tests);
  sort_ids(ids);
  return write_ids_answer(ids);
}

Outcome bless_body(const CommandEnvelope& env) { return bless_answer(env.tests.front(), env.data); }

// The rule for an expected document read from the text: it stays text until
// its test compares against it, and so only then can it turn out not to
// parse. Such a text means the whole command text does not parse either, and
// then the tree answers the command, with the place the text stops parsing.
// Whether `test` hands its command to the tree so (a tree's expected document
// always parses).
bool hands_to_tree(const StrategyTest& test) {
  return !test.expected.text().empty() && !json::is_valid_json(test.expected.text());
}

Outcome run_test_body(const CommandEnvelope& env) {
  const StrategyTest& test = env.tests.front();
  auto result = run_test(test, env.data);
  if (result) return write_test_result(*result);
  if (hands_to_tree(test)) return Stopped{};
  return unexpected(std::move(result).error());
}

// A test that hands the command to the tree stops the suite: the tests not
// yet started never start.
Outcome run_suite_body(const CommandEnvelope& env) {
  std::atomic<bool> stopped{false};
  const TestRunner run = [&](const StrategyTest& test, const Datasets& data) -> Expected<TestResult, std::string> {
    if (stopped.load(std::memory_order_relaxed)) return unexpected(std::string("not run"));
    auto result = run_test(test, data);
    if (result) return std::move(result).value();
    if (hands_to_tree(test)) stopped.store(true, std::memory_order_relaxed);
    return unexpected(result.error().to_string());
  };
  SuiteResult suite = run_suite(env.tests, env.data, run);
  if (stopped.load(std::memory_order_relaxed)) return Stopped{};
  return write_suite_result(suite);
}

struct CommandEntry {
  std::string_view name;
  // The members its envelope is read from, whichever reader reads it.
  EnvelopeLayout layout = EnvelopeLayout::None;
  Outcome (*run)(const CommandEnvelope& envelope) = nullptr;
  // The body runs backtests: it works on a helper thread while this one looks
  // for signals (a suite hands its tests out by itself).
  bool off_thread = false;
  // The body reads every expected document it is given before it can answer,
  // and stops on one that does not parse.
  bool reads_expected = false;
  // The text reader may read the envelope (a layout with datasets).
  bool read_from_text = false;
};

constexpr CommandEntry kCommands[] = {
    {.name = "list", .layout = EnvelopeLayout::Tests, .run = list_body},
    {.name = "bless",
     .layout = EnvelopeLayout::TestAndData,
     .run = bless_body,
     .off_thread = true,
     .read_from_text = true},
    {.name = "version", .run = version_body},
    {.name = "run_test",
     .layout = EnvelopeLayout::TestAndData,
     .run = run_test_body,
     .off_thread = true,
     .reads_expected = true,
     .read_from_text = true},
    {.name = "run_suite",
     .layout = EnvelopeLayout::TestsAndData,
     .run = run_suite_body,
     .reads_expected = true,
     .read_from_text = true},
};

static_assert(std::all_of(std::begin(kCommands), std::end(kCommands),
                          [](const CommandEntry& entry) {
                            return !entry.read_from_text || entry.layout == EnvelopeLayout::TestAndData ||
                                   entry.layout == EnvelopeLayout::TestsAndData;
                          }),
              "the text reader reads only envelopes that carry datasets");

const CommandEntry* find_command(std::string_view name) {
  const auto* it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                [&](const CommandEntry& entry) { return entry.name == name; });
  return it == std::end(kCommands) ? nullptr : it;
}

template <class Body>
Outcome run_entry(const CommandEntry& entry, const Body& body) {
  if (!entry.off_thread) return body();
  std::optional<Outcome> outcome;
  run_while_polling([&] { outcome.emplace(body()); });
  return std::move(*outcome);
}

Answer dispatch(std::string_view text) {
  auto parsed = json::parse(text);
  if (!parsed) return unexpected(SessionError::json(parsed.error()));
  const json::Value* cmd = parsed->find("cmd");
  if (cmd == nullptr || !cmd->is_string()) return unexpected(SessionError::bad_spec("missing cmd"));
  const CommandEntry* entry = find_command(cmd->as_string());
  if (entry == nullptr) return unexpected(SessionError::bad_spec("unknown cmd: " + cmd->as_string()));
  Outcome outcome = run_entry(*entry, [&]() -> Outcome {
    auto env = read_envelope(*parsed, entry->layout);
    if (!env) return unexpected(SessionError::json(env.error()));
    return entry->run(*env);
  });
  // Every expected document of a tree parses, so no body stops here.
  return std::get<Answer>(std::move(outcome));
}

// The answer of a command read from its text, a refused candle's error when
// there is one; nothing when the tree must answer. A body that reads every
// expected document finds one that does not parse by stopping on it; no other
// body starts on such a command, nor does a refused candle answer it.
std::optional<std::string> answer_from_text(const TextEnvelope& read) {
  const CommandEntry& entry = *find_command(read.cmd);
  if ((!entry.reads_expected || read.refused) &&
      std::any_of(read.envelope.tests.begin(), read.envelope.tests.end(), hands_to_tree)) {
    return std::nullopt;
  }
  if (read.refused) return error_answer(SessionError::json(*read.refused));
  Outcome outcome = run_entry(entry, [&] { return entry.run(read.envelope); });
  if (std::holds_alternative<Stopped>(outcome)) return std::nullopt;
  Answer& answer = std::get<Answer>(outcome);
  if (answer) return std::move(answer).value();
  return error_answer(answer.error());
}

}  // namespace

std::string command_from_tree(std::string_view text) {
  auto answer = dispatch(text);
  if (!answer) return error_answer(answer.error());
  return std::move(answer).value();
}

std::optional<EnvelopeLayout> layout_read_from_text(std::string_view name) {
  const CommandEntry* entry = find_command(name);
  if (entry == nullptr || !entry->read_from_text) return std::nullopt;
  return entry->layout;
}

std::string Session::command(std::string_view text) {
  if (auto read = read_envelope_from_text(text, layout_read_from_text)) {
    if (auto answer = answer_from_text(*read)) return std::move(*answer);
  }
  return command_from_tree(text);
}

}  // namespace vsci
