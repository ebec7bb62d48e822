#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace pellora {

// File helpers answer with a value (false, nothing) and never raise for what
// the file system does.

// What a symbolic link at the path being written stands for.
enum class AtLink {
  // A file of a folder the program writes into (generated and published
  // files): the link itself gives way to a regular file and decides nothing,
  // neither where the data goes nor its mode.
  Replace,
  // A file the operator named (a project, a user list): the file the link
  // leads to is written and the link stays, as editors do.
  WriteTarget,
};

// Replaces the file at path with data: writes a temporary file in the same
// folder, flushes it to disk and renames it over the old one, so a failed or
// interrupted write leaves the old file whole. A new file gets newMode less
// the umask; a regular file that is replaced keeps its mode and, where the
// process may, its owner and group. False when anything fails (the old file
// is then untouched and no temporary remains).
bool WriteFileAtomic(const std::filesystem::path& path, std::string_view data, unsigned newMode = 0600,
                     AtLink link = AtLink::Replace);

// A file that is there but is not to be replaced: one this process may not
// write, or one without any write bit, which holds for root too.
bool IsReadOnlyFile(const std::filesystem::path& path);

bool FileExists(const std::filesystem::path& path);
bool DirectoryExists(const std::filesystem::path& path);

// The whole file, or false when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& out);

}  // namespace pellora
