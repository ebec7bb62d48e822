#pragma once

namespace pellora::testing {

// A port of 127.0.0.1 that nothing listens on at the moment.
int FreePort();
// A connected socket to 127.0.0.1:port with 5 s limits, or -1.
int ConnectLocal(int port);
// Whether something listening on 127.0.0.1:port takes a connection.
bool Answers(int port);

}  // namespace pellora::testing
