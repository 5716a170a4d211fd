// How an OAuth step that did not go through ended: the line that says why
// and the number for its "%d". The SMTP login writes it when it gives up,
// after closing the connection, as every login line is written.
#ifndef TARNLET_MAIL_OAUTH_OUTCOME_H_
#define TARNLET_MAIL_OAUTH_OUTCOME_H_

#include "frame/outcomes.h"

namespace tarnlet {

struct OauthOutcome {
  bool ok;
  LogLine line;  // when not ok
  long value;

  static OauthOutcome Done() { return {true, LogLine::kOauthAnswerNg, 0}; }
  static OauthOutcome Failed(LogLine line, long value = 0) { return {false, line, value}; }
};

}  // namespace tarnlet

#endif  // TARNLET_MAIL_OAUTH_OUTCOME_H_
