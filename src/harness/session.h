// Session: turns one command text into one answer text. Every command is one
// entry of the table in session.cpp, with one body; the body runs on the
// command's typed envelope whichever reader produced it: the text reader
// (command_reader.h) for the common shape of the commands the table lets it
// read, else the reading of the parsed document tree. Every failure becomes the
// error answer, so command() never fails. Holds no state: any thread may call
// it, concurrently.
#pragma once

#include <optional>
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

enum class EnvelopeLayout : unsigned char;  // harness/envelopes.h

// What the table of commands tells the text reader: the layout of the
// envelope of the command `name` when the table holds it and lets its
// envelope be read straight from the text (always a layout with datasets);
// nothing otherwise, and the tree then reads the command.
std::optional<EnvelopeLayout> layout_read_from_text(std::string_view name);

}  // namespace vsci
