#include "ftp/ReplyCodes.h"

#include <climits>

namespace pellora {

namespace {

struct Range {
  int first;
  int last;
};

Range RefusedBy(FtpStep step) {
  switch (step) {
    case FtpStep::Greeting: return {401, INT_MAX};
    case FtpStep::Login: return {401, 599};
    case FtpStep::Command: return {400, 599};
    case FtpStep::Pasv: return {500, INT_MAX};
    case FtpStep::Port: return {301, 599};
    case FtpStep::Stor: return {301, 599};
    case FtpStep::Stored: return {400, 599};
    case FtpStep::Quit: return {301, 599};
  }
  return {1, 0};
}

}  // namespace

bool Refuses(FtpStep step, int replyNumber) {
  const Range refused = RefusedBy(step);
  return replyNumber >= refused.first && replyNumber <= refused.last;
}

}  // namespace pellora
