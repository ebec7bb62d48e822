#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "core/UserList.h"

namespace pellora {

// User lists as comma-separated text: one line per user, CR LF after every
// line, no header. A line is "name","password","true" (enabled) or "false"
// (disabled), followed by "email","full name","notes" when any of those
// three is not empty. Fields are quoted but never escaped, so a comma or a
// quote inside a field is written as it stands.

// Every CR as backslash-r and every LF as backslash-n; nothing else changes.
std::string EscapeLineBreaks(std::string_view text);
// Every backslash-r as CR, then every backslash-n as LF. A backslash-r or
// backslash-n that was in the text before escaping comes back as a line
// break too: the format has no way to tell them apart.
std::string UnescapeLineBreaks(std::string_view text);

// The whole list, every user whatever the view shows.
std::string ExportCsv(const UserList& users);
// Writes ExportCsv(users) to path, replacing the file in one step (mode 0600
// for a new file; a link is followed to the file it leads to). False when the
// file cannot be written or is read-only.
bool ExportCsvFile(const std::string& path, const UserList& users);

// Adds the users of text to users at their place by name (InsertSorted, no
// duplicate test) and returns how many were added. Lines end at CR LF, CR or
// LF; a NUL ends the text; a line that gives no user is skipped. The text
// fields are stored trimmed, as typed ones are.
std::size_t ImportCsv(std::string_view text, UserList& users);
// Imports the file at path (UTF-8, or Windows-1252 when it is not valid
// UTF-8). False when there is no readable file; the list is then unchanged.
bool ImportCsvFile(const std::string& path, UserList& users);

}  // namespace pellora
