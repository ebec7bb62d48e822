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

struct OptionSpec {
  const char* Name;  // with its dashes: "--out"
  bool TakesValue;
};

// The arguments of one command: its positional arguments in order, and the
// options it was given (a flag maps to an empty value). An option may be
// given as "--name value" or "--name=value"; the last one given counts.
// "--" ends the options, so a user name or password may begin with a dash.
class Args {
 public:
  Args(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

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
};

// A decimal whole number, optionally signed; usage error naming what for.
int ParseInteger(const std::string& text, const std::string& what);

// The index of text among words (0, 1, ...); usage error naming what for.
int ParseChoice(const std::string& text, const std::vector<const char*>& words, const std::string& what);

}  // namespace pellora::cli
