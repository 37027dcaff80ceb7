#include "harness/session.h"

#include "harness/bless.h"
#include "harness/envelopes.h"
#include "harness/run_test.h"
#include "json/reader.h"
#include "json/writer.h"

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

namespace {

// Commands whose bodies are not built yet answer honestly instead of faking a
// result.
template <const std::string_view& Name>
Expected<std::string, SessionError> not_available(const json::Value&) {
  return unexpected(SessionError::bad_spec("command not available yet: " + std::string(Name)));
}

constexpr std::string_view kList = "list";
constexpr std::string_view kRunTest = "run_test";
constexpr std::string_view kRunSuite = "run_suite";

struct CommandEntry {
  std::string_view name;
  CommandHandler run;
};

constexpr CommandEntry kCommands[] = {
    {kList, not_available<kList>},
    {"bless", bless_command},
    {"version", version_command},
    {kRunTest, run_test_command},
    {kRunSuite, not_available<kRunSuite>},
};

Expected<std::string, SessionError> dispatch(std::string_view text) {
  auto parsed = json::parse(text);
  if (!parsed) return unexpected(SessionError::json(parsed.error()));
  const json::Value* cmd = parsed->find("cmd");
  if (cmd == nullptr || !cmd->is_string()) return unexpected(SessionError::bad_spec("missing cmd"));
  const std::string& name = cmd->as_string();
  for (const CommandEntry& entry : kCommands) {
    if (entry.name == name) return entry.run(*parsed);
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
