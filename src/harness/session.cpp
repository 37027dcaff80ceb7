// Every command answers with text and never fails: a bad command becomes an
// error answer, so the caller needs one parsing path whatever happened.
//
// The commands that carry candles and expected documents are first read
// straight from their text; a command that reader declines (any error
// included) is parsed into a tree and read from there, which stays the
// reference for every answer.
#include "harness/session.h"

#include <atomic>
#include <optional>

#include "harness/bless.h"
#include "harness/command_reader.h"
#include "harness/envelopes.h"
#include "harness/test_run.h"
#include "harness/suite.h"
#include "json/reader.h"
#include "json/writer.h"
#include "util/interrupt.h"

namespace vsci {

Expected<std::string, SessionError> version_command(const json::Value&) {
  json::Value answer = json::Value::object();
  answer.set("version", json::Value::string(std::string(kVersion)));
  return json::write(answer);
}

Expected<std::string, SessionError> run_test_command(const json::Value& command) {
  auto envelope = read_test_envelope(command);
  if (!envelope) return unexpected(SessionError::json(envelope.error()));
  auto result = run_test(envelope->test, envelope->data);
  if (!result) return unexpected(std::move(result).error());
  return write_test_result(*result);
}

Expected<std::string, SessionError> list_command(const json::Value& cmd) {
  auto env = read_list_envelope(cmd);
  if (!env) return unexpected(SessionError::json(env.error()));
  std::vector<std::string> ids = collect_test_ids(env->tests);
  sort_ids(ids);
  return write_ids_answer(ids);
}

namespace {

// One suite test; an error that stops it is folded into its result as text.
Expected<TestResult, std::string> run_suite_test(const StrategyTest& test, const Datasets& data) {
  auto result = run_test(test, data);
  if (!result) return unexpected(result.error().to_string());
  return std::move(result).value();
}

// The answer of a command read straight from its text; nothing when the tree
// path must answer. A test's expected text is only read when the test gets as
// far as its comparison, else checked on its own: when it does not parse, the
// command text does not, which the tree path reports. (A test's SessionError::Json
// can only come from that text: the engine's output always parses.)
std::optional<std::string> answer_from_text(std::string_view text) {
  auto env = read_envelope_from_text(text);
  if (!env) return std::nullopt;
  const auto unreadable = [](const StrategyTest& test, const SessionError& e) {
    return e.kind() == SessionError::Kind::Json || (!test.expected_text.empty() && !is_valid_json(test.expected_text));
  };
  if (env->cmd == "run_suite") {
    std::atomic<bool> declined{false};
    const TestRunner run = [&](const StrategyTest& test, const Datasets& data) -> Expected<TestResult, std::string> {
      auto result = run_test(test, data);
      if (result) return std::move(result).value();
      if (unreadable(test, result.error())) declined = true;
      return unexpected(result.error().to_string());
    };
    SuiteResult suite = run_suite(env->tests, env->data, run);
    if (declined) return std::nullopt;
    return write_suite_result(suite);
  }
  const StrategyTest& test = env->tests.front();
  if (env->cmd == "bless" && !test.expected_text.empty() && !is_valid_json(test.expected_text)) return std::nullopt;
  // The backtests run on a helper thread while this one looks for signals.
  std::optional<std::string> answer;
  run_while_polling([&] {
    if (env->cmd == "bless") {
      auto blessed = bless_answer(test, env->data);
      answer = blessed ? std::move(blessed).value() : error_answer(blessed.error());
      return;
    }
    auto result = run_test(test, env->data);
    if (result) answer = write_test_result(*result);
    else if (!unreadable(test, result.error())) answer = error_answer(result.error());
  });
  return answer;
}

}  // namespace

Expected<std::string, SessionError> run_suite_command(const json::Value& cmd) {
  auto env = read_suite_envelope(cmd);
  if (!env) return unexpected(SessionError::json(env.error()));
  return write_suite_result(run_suite(env->tests, env->data, run_suite_test));
}

namespace {

struct CommandEntry {
  std::string_view name;
  CommandHandler run;
  // The command runs backtests: its handler works on a helper thread while
  // this one looks for signals (a suite hands its tests out by itself).
  bool off_thread = false;
};

constexpr CommandEntry kCommands[] = {
    {"list", list_command},
    {"bless", bless_command, true},
    {"version", version_command},
    {"run_test", run_test_command, true},
    {"run_suite", run_suite_command},
};

Expected<std::string, SessionError> run_entry(const CommandEntry& entry, const json::Value& cmd) {
  if (!entry.off_thread) return entry.run(cmd);
  std::optional<Expected<std::string, SessionError>> answer;
  run_while_polling([&] { answer.emplace(entry.run(cmd)); });
  return std::move(*answer);
}

Expected<std::string, SessionError> dispatch(std::string_view text) {
  auto parsed = json::parse(text);
  if (!parsed) return unexpected(SessionError::json(parsed.error()));
  const json::Value* cmd = parsed->find("cmd");
  if (cmd == nullptr || !cmd->is_string()) return unexpected(SessionError::bad_spec("missing cmd"));
  const std::string& name = cmd->as_string();
  for (const CommandEntry& entry : kCommands) {
    if (entry.name == name) return run_entry(entry, *parsed);
  }
  return unexpected(SessionError::bad_spec("unknown cmd: " + name));
}

}  // namespace

std::string command_from_tree(std::string_view text) {
  auto answer = dispatch(text);
  if (!answer) return error_answer(answer.error());
  return std::move(answer).value();
}

std::string Session::command(std::string_view text) {
  if (auto answer = answer_from_text(text)) return std::move(*answer);
  return command_from_tree(text);
}

}  // namespace vsci
