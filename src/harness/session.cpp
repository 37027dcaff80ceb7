// Every command answers with text and never fails: a bad command becomes an
// error answer, so the caller needs one parsing path whatever happened.
#include "harness/session.h"

#include <optional>

#include "harness/bless.h"
#include "harness/envelopes.h"
#include "harness/run_test.h"
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

std::string Session::command(std::string_view text) {
  auto answer = dispatch(text);
  if (!answer) return error_answer(answer.error());
  return std::move(answer).value();
}

}  // namespace vsci
