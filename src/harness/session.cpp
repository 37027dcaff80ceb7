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

Answer version_body(const CommandEnvelope&) {
  json::Value answer = json::Value::object();
  answer.set("version", json::Value::string(std::string(kVersion)));
  return json::write(answer);
}

Answer list_body(const CommandEnvelope& env) {
  std::vector<std::string> ids = collect_test_ids(env.tests);
  sort_ids(ids);
  return write_ids_answer(ids);
}

Answer run_test_body(const CommandEnvelope& env) {
  auto result = run_test(env.tests.front(), env.data);
  if (!result) return unexpected(std::move(result).error());
  return write_test_result(*result);
}

Answer bless_body(const CommandEnvelope& env) { return bless_answer(env.tests.front(), env.data); }

// Whether the test's expected document, when it is text, is one JSON value.
// One that is not means the whole command text does not parse either.
bool expected_text_parses(const StrategyTest& test) {
  return test.expected.text().empty() || is_valid_json(test.expected.text());
}

// A test whose expected text turns out unreadable fails the whole suite with
// that text's error: no answer of the suite could stand, so the tests not yet
// started never start. (A tree never turns out unreadable.)
Answer run_suite_body(const CommandEnvelope& env) {
  std::atomic<const StrategyTest*> unreadable{nullptr};
  const TestRunner run = [&](const StrategyTest& test, const Datasets& data) -> Expected<TestResult, std::string> {
    if (unreadable.load(std::memory_order_relaxed) != nullptr) return unexpected(std::string("not run"));
    auto result = run_test(test, data);
    if (result) return std::move(result).value();
    if (!expected_text_parses(test)) unreadable.store(&test, std::memory_order_relaxed);
    return unexpected(result.error().to_string());
  };
  SuiteResult suite = run_suite(env.tests, env.data, run);
  if (const StrategyTest* test = unreadable.load()) {
    auto parsed = json::parse(test->expected.text());
    return unexpected(SessionError::json(parsed ? json::Error::custom("unreadable expected document") : parsed.error()));
  }
  return write_suite_result(suite);
}

Expected<CommandEnvelope, json::Error> no_envelope(const json::Value&) { return CommandEnvelope{}; }

Expected<CommandEnvelope, json::Error> list_envelope(const json::Value& cmd) {
  auto env = read_list_envelope(cmd);
  if (!env) return unexpected(std::move(env).error());
  return CommandEnvelope{std::move(env->tests), {}};
}

Expected<CommandEnvelope, json::Error> test_envelope(const json::Value& cmd) {
  auto env = read_test_envelope(cmd);
  if (!env) return unexpected(std::move(env).error());
  CommandEnvelope out;
  out.tests.push_back(std::move(env->test));
  out.data = std::move(env->data);
  return out;
}

Expected<CommandEnvelope, json::Error> suite_envelope(const json::Value& cmd) {
  auto env = read_suite_envelope(cmd);
  if (!env) return unexpected(std::move(env).error());
  return CommandEnvelope{std::move(env->tests), std::move(env->data)};
}

struct CommandEntry {
  std::string_view name;
  // The envelope read from the parsed command.
  Expected<CommandEnvelope, json::Error> (*read_tree)(const json::Value& command);
  Answer (*run)(const CommandEnvelope& envelope);
  // The body runs backtests: it works on a helper thread while this one looks
  // for signals (a suite hands its tests out by itself).
  bool off_thread = false;
  // The body reads every expected document it is given before it can answer,
  // and fails when one does not parse; other bodies have their expected texts
  // checked before they run.
  bool reads_expected = false;
};

constexpr CommandEntry kCommands[] = {
    {"list", list_envelope, list_body},
    {"bless", test_envelope, bless_body, true},
    {"version", no_envelope, version_body},
    {"run_test", test_envelope, run_test_body, true, true},
    {"run_suite", suite_envelope, run_suite_body, false, true},
};

const CommandEntry* find_command(std::string_view name) {
  const auto* it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                [&](const CommandEntry& entry) { return entry.name == name; });
  return it == std::end(kCommands) ? nullptr : it;
}

template <class Body>
Answer run_entry(const CommandEntry& entry, const Body& body) {
  if (!entry.off_thread) return body();
  std::optional<Answer> answer;
  run_while_polling([&] { answer.emplace(body()); });
  return std::move(*answer);
}

Answer dispatch(std::string_view text) {
  auto parsed = json::parse(text);
  if (!parsed) return unexpected(SessionError::json(parsed.error()));
  const json::Value* cmd = parsed->find("cmd");
  if (cmd == nullptr || !cmd->is_string()) return unexpected(SessionError::bad_spec("missing cmd"));
  const CommandEntry* entry = find_command(cmd->as_string());
  if (entry == nullptr) return unexpected(SessionError::bad_spec("unknown cmd: " + cmd->as_string()));
  return run_entry(*entry, [&]() -> Answer {
    auto env = entry->read_tree(*parsed);
    if (!env) return unexpected(SessionError::json(env.error()));
    return entry->run(*env);
  });
}

bool expected_texts_parse(const CommandEnvelope& env) {
  return std::all_of(env.tests.begin(), env.tests.end(), expected_text_parses);
}

// The answer of a command read from its text; nothing when the tree must
// answer, which it does by reporting where the text stops parsing. Only an
// expected document can turn out unreadable after reading: a body that reads
// every expected text says so by failing, and the other bodies never start on
// one.
std::optional<std::string> answer_from_text(const TextEnvelope& read) {
  const CommandEntry& entry = *find_command(read.cmd);
  if (!entry.reads_expected && !expected_texts_parse(read.envelope)) return std::nullopt;
  auto answer = run_entry(entry, [&] { return entry.run(read.envelope); });
  if (answer) return std::move(answer).value();
  if (entry.reads_expected && !expected_texts_parse(read.envelope)) return std::nullopt;
  return error_answer(answer.error());
}

}  // namespace

std::string command_from_tree(std::string_view text) {
  auto answer = dispatch(text);
  if (!answer) return error_answer(answer.error());
  return std::move(answer).value();
}

std::string Session::command(std::string_view text) {
  if (auto read = read_envelope_from_text(text)) {
    // A refused candle is the answer once the whole text is known to parse.
    if (read->refused) {
      if (expected_texts_parse(read->envelope)) return error_answer(SessionError::json(*read->refused));
    } else if (auto answer = answer_from_text(*read)) {
      return std::move(*answer);
    }
  }
  return command_from_tree(text);
}

}  // namespace vsci
