#pragma once
#include <cstdint>

namespace pellora {

// The points of an FTP session where the server's reply decides whether the
// session goes on.
enum class FtpStep : std::uint8_t {
  Greeting,  // the first reply after connecting
  Login,     // USER, and PASS when asked for
  Command,   // SendCommand: CWD, TYPE and the like
  Pasv,
  Port,
  Stor,    // the reply that opens the transfer
  Stored,  // the reply once the file has gone
  Quit,
};

// Whether the reply number refuses the step; any other number, 0 for a reply
// without one included, lets it go on. The ranges differ from step to step on
// purpose (a greeting of 400 passes, PASV is refused only from 500 up): a
// change to one changes which servers the program can publish to.
bool Refuses(FtpStep step, int replyNumber);

// The USER reply that asks for PASS; any other accepted one logs in without.
constexpr int kPasswordWanted = 331;

// The AUTH TLS reply after which the client starts its TLS handshake; any
// other reply leaves the session without encryption, which is refused.
constexpr int kTlsStarts = 234;

}  // namespace pellora
