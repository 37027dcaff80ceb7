// The one place the harness's error turns into the text the user reads, so
// every command words its failures with the same prefixes.
#include "harness/session_error.h"

#include "json/value.h"
#include "json/writer.h"

namespace vsci {

std::string SessionError::to_string() const {
  switch (kind_) {
    case Kind::Json: return "json error: " + payload_;
    case Kind::BadSpec: return "bad spec: " + payload_;
    case Kind::Data: return "data error: " + payload_;
    case Kind::Backtest: return "backtest error: " + payload_;
  }
  return payload_;
}

std::string error_answer(const SessionError& e) {
  // Written from a tree, so the members come out in key order: error, ok.
  json::Value answer = json::Value::object();
  answer.set("error", json::Value::string(e.to_string()));
  answer.set("ok", json::Value::boolean(false));
  return json::write(answer);
}

}  // namespace vsci
