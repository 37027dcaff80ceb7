// SessionError: the harness's error, four variants each carrying one text. Its
// text form ("json error: ...", "bad spec: ...", "data error: ...",
// "backtest error: ...") is what the user reads inside the error answer
// {"error":...,"ok":false}. Plain value; safe to move between threads.
#pragma once

#include <string>

#include "json/error.h"

namespace vsci {

class SessionError {
 public:
  enum class Kind : unsigned char { Json, BadSpec, Data, Backtest };

  // A JSON library failure, rendered with its position when it has one.
  static SessionError json(const json::Error& e) { return {Kind::Json, e.to_string()}; }
  static SessionError bad_spec(std::string text) { return {Kind::BadSpec, std::move(text)}; }
  static SessionError data(std::string text) { return {Kind::Data, std::move(text)}; }
  // `text` is the rendered BacktestError.
  static SessionError backtest(std::string text) { return {Kind::Backtest, std::move(text)}; }

  SessionError() = default;

  std::string to_string() const;

 private:
  SessionError(Kind k, std::string p) : kind_(k), payload_(std::move(p)) {}
  Kind kind_ = Kind::Json;
  std::string payload_;
};

// The answer for a failed command: {"error":<text>,"ok":false}.
std::string error_answer(const SessionError& e);

}  // namespace vsci
