#include "project/Netrc.h"

#include <algorithm>
#include <cctype>

namespace pellora {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

class Tokens {
 public:
  explicit Tokens(std::string_view text) : text_(text) {}

  // The next token, or nothing at the end of the text.
  std::optional<std::string> Next() {
    for (;;) {
      while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
      if (pos_ >= text_.size()) return std::nullopt;
      if (text_[pos_] != '#') break;
      SkipLine();
    }
    if (text_[pos_] == '"') return Quoted();
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !IsBlank(text_[pos_])) ++pos_;
    return std::string(text_.substr(start, pos_ - start));
  }

  // A macro's body: the rest of its first line, then lines up to an empty one.
  void SkipMacro() {
    SkipLine();
    while (pos_ < text_.size()) {
      const std::size_t end = std::min(text_.find('\n', pos_), text_.size());
      std::string_view line = text_.substr(pos_, end - pos_);
      pos_ = end + 1;
      if (line.empty() || line == "\r") break;
    }
  }

 private:
  void SkipLine() {
    const std::size_t end = text_.find('\n', pos_);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
  }

  std::string Quoted() {
    std::string out;
    for (++pos_; pos_ < text_.size() && text_[pos_] != '"'; ++pos_) {
      char c = text_[pos_];
      if (c == '\\' && pos_ + 1 < text_.size()) {
        c = text_[++pos_];
        if (c == 'n') c = '\n';
        else if (c == 'r') c = '\r';
        else if (c == 't') c = '\t';
      }
      out += c;
    }
    ++pos_;  // the closing quote, when there is one
    return out;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

bool SameHost(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::vector<NetrcEntry> ParseNetrc(std::string_view text) {
  std::vector<NetrcEntry> entries;
  Tokens tokens(text);
  while (std::optional<std::string> token = tokens.Next()) {
    if (*token == "macdef") {
      tokens.SkipMacro();
    } else if (*token == "machine") {
      entries.push_back({tokens.Next().value_or(""), false, std::nullopt, std::nullopt});
    } else if (*token == "default") {
      entries.push_back({"", true, std::nullopt, std::nullopt});
    } else if (*token == "login" || *token == "password" || *token == "account") {
      std::optional<std::string> value = tokens.Next();
      if (entries.empty() || !value || *token == "account") continue;
      (*token == "login" ? entries.back().Login : entries.back().Password) = std::move(*value);
    }
  }
  return entries;
}

std::optional<NetrcEntry> FindNetrcEntry(const std::vector<NetrcEntry>& entries, std::string_view host,
                                         std::string_view user) {
  auto fits = [user](const NetrcEntry& entry) { return user.empty() || !entry.Login || *entry.Login == user; };
  for (const NetrcEntry& entry : entries)
    if (!entry.Default && SameHost(entry.Machine, host) && fits(entry)) return entry;
  for (const NetrcEntry& entry : entries)
    if (entry.Default && fits(entry)) return entry;
  return std::nullopt;
}

}  // namespace pellora
