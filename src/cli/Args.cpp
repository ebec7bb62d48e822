#include "cli/Args.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace pellora::cli {

namespace {

// "-5" is a (bad) count, not an option nobody knows.
bool LooksLikeOption(const std::string& arg) {
  if (arg.size() < 2 || arg[0] != '-') return false;
  return !(arg[1] >= '0' && arg[1] <= '9');
}

const OptionSpec* FindSpec(const std::vector<OptionSpec>& specs, const std::string& name) {
  for (const OptionSpec& known : specs)
    if (name == known.Name) return &known;
  return nullptr;
}

}  // namespace

Args::Args(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs, Secrets secrets)
    : secrets_(secrets) {
  // The first mistake is reported once the whole line is read, so that help
  // asked for further on still wins, as it does before a mistake.
  std::optional<UsageError> mistake;
  auto fail = [&mistake](const std::string& text) {
    if (!mistake) mistake.emplace(text);
  };
  bool help = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || !LooksLikeOption(arg)) {
      positional_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      help = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const OptionSpec* option = FindSpec(specs, name);
    if (!option) {
      fail(secrets_ == Secrets::PasswordArgument
               ? std::string("unknown option (a PASSWORD that begins with \"-\" needs \"--\" before it)")
               : "unknown option " + name);
    } else if (!option->TakesValue) {
      if (eq != std::string::npos) fail("option " + name + " takes no value");
      options_[name].clear();
    } else if (eq != std::string::npos) {
      options_[name] = arg.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      options_[name] = args[++i];
    } else {
      fail("option " + name + " needs a value");
    }
  }
  if (help) throw HelpWanted();
  if (mistake) throw *mistake;
}

std::optional<std::string> Args::Value(const std::string& name) const {
  auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

void Args::Expect(const std::vector<const char*>& names) const {
  if (positional_.size() < names.size()) throw UsageError(std::string("missing ") + names[positional_.size()]);
  if (positional_.size() <= names.size()) return;
  if (secrets_ == Secrets::None) throw UsageError("unexpected argument '" + positional_[names.size()] + "'");
  std::string text = "unexpected argument";
  if (!names.empty()) text += std::string(" after ") + names.back();
  if (secrets_ == Secrets::StrayArguments) text += " (passwords are read from standard input)";
  throw UsageError(text);
}

void Args::AtMostOne(const std::vector<const char*>& names) const {
  const char* seen = nullptr;
  for (const char* name : names) {
    if (!Has(name)) continue;
    if (seen) throw UsageError(std::string(seen) + " and " + name + " cannot be used together");
    seen = name;
  }
}

int ParseInteger(const std::string& text, const std::string& what) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(begin, &end, 10);
  const bool digitsOnly = !text.empty() && text.find_first_not_of("+-0123456789") == std::string::npos;
  if (!digitsOnly || end == begin || *end != '\0')
    throw UsageError(what + " must be a whole number, not '" + text + "'");
  // Out-of-range numbers are still numbers: clamp them so that the range
  // check of the command reports them as too large or too small.
  if (errno == ERANGE || value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

int ParseChoice(const std::string& text, const std::vector<const char*>& words, const std::string& what) {
  std::string list;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (text == words[i]) return static_cast<int>(i);
    if (i) list += '|';
    list += words[i];
  }
  throw UsageError(what + " must be one of " + list + ", not '" + text + "'");
}

}  // namespace pellora::cli
