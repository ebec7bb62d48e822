#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace pellora::testing {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(std::string_view name) const { return (path_ / name).string(); }
  void Write(std::string_view name, std::string_view bytes) const;
  std::string Read(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

// The whole file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
// Replaces the file with bytes, as a test sets the scene (not atomically).
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// Open descriptors of this process.
int CountOpenDescriptors();

}  // namespace pellora::testing
