#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace pellora {

// Replaces the file at path with data: writes a temporary file in the same
// folder, flushes it to disk and renames it over the old one, so a failed or
// interrupted write leaves the old file whole. New files get mode; false when
// anything fails (the old file is then untouched and no temporary remains).
bool WriteFileAtomic(const std::filesystem::path& path, std::string_view data, unsigned mode = 0600);

bool FileExists(const std::filesystem::path& path);
bool DirectoryExists(const std::filesystem::path& path);

// The whole file, or false when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& out);

}  // namespace pellora
