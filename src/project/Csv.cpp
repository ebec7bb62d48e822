#include "project/Csv.h"

#include <array>
#include <utility>

#include "core/Collation.h"
#include "core/Text.h"
#include "platform/Files.h"
#include "project/TextEncoding.h"

namespace pellora {

namespace {

// One pass per sequence gives the same text as replacing the first
// occurrence over and over: a replacement never forms a new sequence in
// front of it, so the search can go on after it.
std::string ReplaceSequence(std::string_view text, char letter, char replacement) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == letter) {
      out += replacement;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

void AppendQuoted(std::string& out, std::string_view field) {
  out += '"';
  out += field;
  out += '"';
}

std::string_view Unquote(std::string_view field) {
  if (field.size() >= 2 && field.front() == '"' && field.back() == '"') return field.substr(1, field.size() - 2);
  return field;
}

// Splits a line into its six fields; false when the line gives no user.
bool SplitLine(std::string_view line, std::array<std::string_view, 6>& fields) {
  fields = {};
  if (line.empty()) return false;
  auto comma = line.find(',');
  if (comma == std::string_view::npos) return false;
  fields[0] = line.substr(0, comma);
  std::string_view rest = line.substr(comma + 1);
  if (rest.empty()) return false;
  for (std::size_t i = 1; i <= 4 && !rest.empty(); ++i) {
    comma = rest.find(',');
    if (comma == std::string_view::npos) {
      fields[i] = rest;
      return true;
    }
    fields[i] = rest.substr(0, comma);
    rest = rest.substr(comma + 1);
  }
  fields[5] = rest;  // the notes take the rest of the line, commas and all
  return true;
}

}  // namespace

std::string EscapeLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string UnescapeLineBreaks(std::string_view text) {
  if (text.find('\\') == std::string_view::npos) return std::string(text);
  return ReplaceSequence(ReplaceSequence(text, 'r', '\r'), 'n', '\n');
}

std::string ExportCsv(const UserList& users) {
  std::string out;
  for (const TUserList& u : users) {
    AppendQuoted(out, u.UserName);
    out += ',';
    AppendQuoted(out, u.Password);
    out += ',';
    AppendQuoted(out, u.Disabled ? "false" : "true");
    if (!u.Email.empty() || !u.FullName.empty() || !u.Notes.empty()) {
      out += ',';
      AppendQuoted(out, u.Email);
      out += ',';
      AppendQuoted(out, u.FullName);
      out += ',';
      AppendQuoted(out, EscapeLineBreaks(u.Notes));
    }
    out += "\r\n";
  }
  return out;
}

bool ExportCsvFile(const std::string& path, const UserList& users) {
  // A read-only file stays as it is, though the folder would let a new one
  // take its place.
  if (IsReadOnlyFile(path)) return false;
  return WriteFileAtomic(path, ExportCsv(users), 0600, AtLink::WriteTarget);
}

std::size_t ImportCsv(std::string_view text, UserList& users) {
  if (auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  std::size_t added = 0;
  std::array<std::string_view, 6> fields;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    std::string_view line = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
    if (!SplitLine(line, fields)) continue;

    // Stored as the user dialog stores typed fields: trimmed. A project file
    // keeps no blanks at the ends of a value either, so an untrimmed
    // password would change with the next save and load.
    TUserList user;
    user.UserName = Trim(Unquote(fields[0]));
    user.Password = Trim(Unquote(fields[1]));
    user.Disabled = EqualIgnoringCase(Unquote(fields[2]), "false");
    user.Email = Trim(Unquote(fields[3]));
    user.FullName = Trim(Unquote(fields[4]));
    user.Notes = Trim(UnescapeLineBreaks(Unquote(fields[5])));
    users.InsertSorted(std::move(user));
    ++added;
  }
  return added;
}

bool ImportCsvFile(const std::string& path, UserList& users) {
  std::string bytes;
  if (!FileExists(path) || !ReadWholeFile(path, bytes)) return false;
  ImportCsv(DecodeFileText(std::move(bytes)), users);
  return true;
}

}  // namespace pellora
