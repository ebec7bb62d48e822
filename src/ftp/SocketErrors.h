#pragma once
#include <stdexcept>
#include <string>

namespace pellora {

// A failure of a connection or of what it moves: the socket, the name lookup,
// the local file being sent. The text is what the log and the operator see.
class ESockError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An operation ended by Stop or by its time-out running out.
class EAbortError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "10061:Connection refused" for 10061; "Unknown Error No. N" outside the table.
std::string SocketErrorText(int number);
// The socket error number for a POSIX errno (ECONNREFUSED gives 10061), 0 when
// there is none.
int SocketErrorNumber(int posixError);
// The text of a failed system call: the socket error text of its number, or
// "Unknown Error No. " + errno when no socket error number matches.
std::string ErrnoText(int posixError);

}  // namespace pellora
