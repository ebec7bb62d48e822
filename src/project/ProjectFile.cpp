#include "project/ProjectFile.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "core/Text.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "project/TextEncoding.h"

namespace pellora {

namespace {

constexpr std::string_view kGeneral = "GENERAL";
constexpr std::string_view kProjectFileKey = "PROJECTFILE";
constexpr std::string_view kProjectModifiedKey = "PROJECTMODIFIED";

// A hand-edited "USERCOUNT" may run far beyond the user sections of the file.
// Missing sections still give empty users, but at most this many of them:
// reading stops at the next missing section after that. A file thus never
// yields more users than it has user sections plus this margin.
constexpr std::int64_t kMaxMissingUserSections = 4096;

std::string UserSection(std::int64_t n) { return "USER" + std::to_string(n); }

// A whole number as the file holds it: decimal with an optional sign, or
// hexadecimal after "0x"/"0X" when the value is longer than two characters.
// Anything else is no number. Values beyond 64 bits saturate.
std::optional<std::int64_t> ParseInteger(std::string_view text) {
  int base = 10;
  bool negative = false;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  std::uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    value = value > (kMax - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base)
                ? kMax
                : value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
  }
  auto magnitude = static_cast<std::int64_t>(value);
  return negative ? -magnitude : magnitude;
}

std::int64_t ReadInteger(const IniFile& ini, std::string_view section, std::string_view key, std::int64_t fallback) {
  std::string text = ini.ReadString(section, key, "");
  return ParseInteger(text).value_or(fallback);
}

bool ReadFlag(const IniFile& ini, std::string_view section, std::string_view key, bool fallback) {
  return ReadInteger(ini, section, key, fallback ? 1 : 0) != 0;
}

// Notes are typed in a multi-line box, but a value is one line of the file.
// Notes that hold a CR or LF, or that begin with a double quote, are stored
// as a quoted string: a double quote; the notes with backslash, CR, LF and
// double quote written as backslash followed by \, r, n and "; a closing
// double quote. All other notes are stored exactly as held, so a literal
// backslash-r in one-line notes (a Windows path) stays what it is.
bool NeedsQuoting(std::string_view notes) {
  return notes.find_first_of("\r\n") != std::string_view::npos || notes.starts_with('"');
}

std::string EncodeNotes(std::string_view notes) {
  if (!NeedsQuoting(notes)) return std::string(notes);
  std::string out;
  out.reserve(notes.size() + notes.size() / 8 + 2);
  out += '"';
  for (char c : notes) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '"': out += "\\\""; break;
      default: out += c;
    }
  }
  out += '"';
  return out;
}

// The reverse of EncodeNotes. A quoted string that the read cut short (its
// closing quote lost with the tail) gives the notes up to the cut; any other
// value, such as "Bob" and more from a hand-written file, is taken as it is.
std::string DecodeNotes(std::string value) {
  if (!value.starts_with('"')) return value;
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 1; i < value.size(); ++i) {
    char c = value[i];
    if (c == '"') return i + 1 == value.size() ? out : value;
    if (c == '\\' && i + 1 < value.size()) {
      char next = value[++i];
      switch (next) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case '\\':
        case '"': out += next; break;
        default: out += c; out += next;
      }
      continue;
    }
    out += c;
  }
  return CountCharacters(value) >= IniFile::kMaxValueLength ? out : value;
}

}  // namespace

bool SaveProjectFile(const std::string& path, const UserList& users, const ProjectSettings& settings,
                     const LastState* state) {
  // A file that may not be written is not replaced either, although the
  // folder would let a new file take its place: a project made read-only
  // stays as it is.
  if (IsReadOnlyFile(path)) return false;
  IniFile ini;
  std::int64_t n = 0;
  for (const TUserList& user : users) {
    const std::string section = UserSection(n++);
    ini.WriteString(section, "USERNAME", user.UserName);
    ini.WriteString(section, "PASSWORD", user.Password);
    ini.WriteString(section, "DISABLED", user.Disabled ? "1" : "0");
    ini.WriteString(section, "EMAIL", user.Email);
    ini.WriteString(section, "FULLNAME", user.FullName);
    ini.WriteString(section, "NOTES", EncodeNotes(user.Notes));
    if (!user.Hash.empty()) ini.WriteString(section, "HASH", user.Hash);
    if (!user.HashDigest.empty()) ini.WriteString(section, "HASHDIGEST", user.HashDigest);
  }
  ini.WriteString(kGeneral, "USERCOUNT", std::to_string(n));
  for (const SettingRow& row : SettingRows()) {
    const std::string_view value = row.Text ? TrimView(settings.*row.Text) : settings.*row.Flag ? "1" : "0";
    if (row.OnlyWhenChosen && value == row.FileDefault) continue;
    ini.WriteString(kGeneral, row.Key, value);
  }
  if (state && !state->ProjectFile.empty()) {
    ini.WriteString(kGeneral, kProjectFileKey, state->ProjectFile);
    ini.WriteString(kGeneral, kProjectModifiedKey, state->Modified ? "1" : "0");
  }
  return WriteFileAtomic(path, ini.Text(), 0600, AtLink::WriteTarget);
}

bool LoadProjectFile(const std::string& path, UserList& users, ProjectSettings& settings, LastState* state) {
  std::string bytes;
  if (!FileExists(path) || !ReadWholeFile(path, bytes)) return false;
  IniFile ini;
  ini.Parse(DecodeFileText(std::move(bytes)));

  const std::int64_t count = ReadInteger(ini, kGeneral, "USERCOUNT", 0);
  std::int64_t missing = 0;
  for (std::int64_t n = 0; n < count; ++n) {
    const std::string section = UserSection(n);
    TUserList user;
    if (ini.HasSection(section)) {
      user.UserName = ini.ReadString(section, "USERNAME", "");
      user.Password = ini.ReadString(section, "PASSWORD", "");
      user.Disabled = ReadFlag(ini, section, "DISABLED", false);
      user.Email = ini.ReadString(section, "EMAIL", "");
      user.FullName = ini.ReadString(section, "FULLNAME", "");
      user.Notes = DecodeNotes(ini.ReadString(section, "NOTES", ""));
      user.Hash = ini.ReadString(section, "HASH", "");
      user.HashDigest = ini.ReadString(section, "HASHDIGEST", "");
    } else if (++missing > kMaxMissingUserSections) {
      break;
    }
    users.AppendUser(std::move(user));
  }

  for (const SettingRow& row : SettingRows()) {
    if (row.Text) settings.*row.Text = ini.ReadString(kGeneral, row.Key, row.FileDefault);
    else settings.*row.Flag = ReadFlag(ini, kGeneral, row.Key, std::string_view(row.FileDefault) == "1");
  }
  if (state) {
    state->ProjectFile = ini.ReadString(kGeneral, kProjectFileKey, "");
    state->Modified = ReadFlag(ini, kGeneral, kProjectModifiedKey, false);
  }
  return true;
}

}  // namespace pellora
