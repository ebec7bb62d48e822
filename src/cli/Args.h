#pragma once
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pellora::cli {

// A command line that cannot be understood: an unknown option, a missing or
// extra argument, a value that is not of the kind asked for (exit status 2).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// --help or -h where an option could stand: Run prints the help instead of
// running the command.
class HelpWanted : public std::exception {};

// What a mistyped command line may reveal in its usage error. A command that
// reads a password must not echo one that was typed in the wrong place.
enum class Secrets {
  None,
  StrayArguments,    // an extra argument may be a password meant for standard input
  PasswordArgument,  // hash: an unknown option or an extra argument may be the password
};

struct OptionSpec {
  const char* Name;  // with its dashes: "--out"
  bool TakesValue;
};

// The arguments of one command: its positional arguments in order, and the
// options it was given (a flag maps to an empty value). An option may be
// given as "--name value" or "--name=value"; the last one given counts.
// "--" ends the options, so a user name or password may begin with a dash.
// "--help" and "-h" ask for help only where an option could stand, not as
// the value of an option nor after "--".
class Args {
 public:
  Args(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs, Secrets secrets = Secrets::None);

  const std::vector<std::string>& Positional() const { return positional_; }
  bool Has(const std::string& name) const { return options_.count(name) > 0; }
  std::optional<std::string> Value(const std::string& name) const;

  // Usage error unless there are exactly the named positional arguments;
  // names reads like "PROJECT NAME" and names the first one missing.
  void Expect(const std::vector<const char*>& names) const;
  // Usage error when more than one of these options was given.
  void AtMostOne(const std::vector<const char*>& names) const;

 private:
  std::vector<std::string> positional_;
  std::map<std::string, std::string> options_;
  Secrets secrets_;
};

// A decimal whole number, optionally signed; usage error naming what for.
int ParseInteger(const std::string& text, const std::string& what);

// The index of text among words (0, 1, ...); usage error naming what for.
int ParseChoice(const std::string& text, const std::vector<const char*>& words, const std::string& what);

}  // namespace pellora::cli
