// Session: turns one command text into one answer text. Every command is one
// entry of the table in session.cpp, with one body; the body runs on the
// command's typed envelope whichever reader produced it: the text reader
// (command_reader.h) for the common shape of the commands that carry candles,
// else the reading of the parsed document tree. Every failure becomes the
// error answer, so command() never fails. Holds no state: any thread may call
// it, concurrently.
#pragma once

#include <string>
#include <string_view>

namespace vsci {

inline constexpr std::string_view kVersion = "0.2.0";

class Session {
 public:
  // `text` is the UTF-8 command; embedded NUL bytes are part of it.
  static std::string command(std::string_view text);
  static std::string_view version() { return kVersion; }
};

// The answer read through the document tree of the whole command: what
// Session::command answers for any text.
std::string command_from_tree(std::string_view text);

}  // namespace vsci
