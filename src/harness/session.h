// Session: turns one command text into one answer text. Parses the text, picks
// the command by its "cmd" member and hands the parsed command to that
// command's handler; every failure becomes the error answer, so command()
// never fails. Commands that carry candles are first read straight from their
// text (command_reader.h), answering as the tree would. Holds no state: any
// thread may call it, concurrently.
//
// Each command is one CommandHandler in the table of session.cpp; a new
// command body replaces its table entry.
#pragma once

#include <string>
#include <string_view>

#include "harness/session_error.h"
#include "json/value.h"
#include "util/expected.h"

namespace vsci {

inline constexpr std::string_view kVersion = "0.2.0";

// A command's body: the parsed command (an object holding a string "cmd") in,
// the answer text out.
using CommandHandler = Expected<std::string, SessionError> (*)(const json::Value& command);

class Session {
 public:
  // `text` is the UTF-8 command; embedded NUL bytes are part of it.
  static std::string command(std::string_view text);
  static std::string_view version() { return kVersion; }
};

// The answer read through the document tree of the whole command: what
// Session::command answers for any text.
std::string command_from_tree(std::string_view text);

// The "version" command's answer: {"version":"0.2.0"}.
Expected<std::string, SessionError> version_command(const json::Value& command);
Expected<std::string, SessionError> list_command(const json::Value& command);
Expected<std::string, SessionError> run_suite_command(const json::Value& command);
// The "run_test" command's answer: the test's TestResult.
Expected<std::string, SessionError> run_test_command(const json::Value& command);

}  // namespace vsci
