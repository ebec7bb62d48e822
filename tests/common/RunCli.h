#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace pellora::testing {

struct Result {
  int Status = -1;  // exit status; -1 when the program did not exit normally
  std::string Out;
  std::string Err;
};

// The path of the built pellora-cli.
const char* CliPath();

// Runs the built pellora-cli with args, input on its standard input and
// XDG_DATA_HOME and HOME pointing at dataHome, and collects everything it
// printed.
Result RunCli(const std::vector<std::string>& args, const std::filesystem::path& dataHome,
              const std::string& input = "");

// The same on a pseudo-terminal (standard input, output and error all on it):
// what a person at a terminal sees.
Result RunCliOnTerminal(const std::vector<std::string>& args, const std::filesystem::path& dataHome);

// What is left of a terminal after a program on it was ended by a signal.
struct Interrupted {
  int Signal = 0;     // the signal that ended the program; 0 when it exited
  bool Echo = false;  // the terminal echoes typing again
  std::string Out;    // what the program wrote before the signal
};

// Runs pellora-cli on a pseudo-terminal, waits until it has written waitFor,
// sends it signal and reports how the program ended and the terminal's state.
Interrupted InterruptCliOnTerminal(const std::vector<std::string>& args, const std::filesystem::path& dataHome,
                                   const std::string& waitFor, int signal);

// Lines of text split at LF.
std::vector<std::string> Lines(const std::string& text);

}  // namespace pellora::testing
