#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace pellora::testing {

// Runs a command of the shell with all its output appended to log; true when
// it succeeded.
bool RunLogged(const std::string& command, const std::filesystem::path& log);

// Starts a server program in a process group of its own, so that the
// sessions it forks go with it, with its standard output and error in
// output; then waits up to 5 s for it to answer on port. The group's leader,
// or -1 when the program ended first or never answered (it is stopped then).
pid_t StartDaemon(const std::vector<std::string>& argv, const std::filesystem::path& output, int port);
// Kills the whole group and sets pid to -1.
void StopDaemon(pid_t& pid);

// A test server written in Python (run by the system interpreter, for which
// Debian's modules are installed) that prints its port on its first line;
// killed with the object.
class PythonServer {
 public:
  PythonServer(const std::string& script, const std::vector<std::string>& args);
  ~PythonServer();
  PythonServer(const PythonServer&) = delete;
  PythonServer& operator=(const PythonServer&) = delete;
  int Port() const { return port_; }
  bool Running() const { return port_ > 0; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace pellora::testing
