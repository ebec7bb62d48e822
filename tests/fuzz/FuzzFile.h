#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// A file of this fuzzer process for the functions that read or write paths.
// It lives in /dev/shm when there is one, so that the flush of an atomic
// save does not make every run wait for a disk.
class FuzzFile {
 public:
  explicit FuzzFile(const char* tag) {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path_ = std::string(base) + "/pellora-fuzz-" + tag + "-" + std::to_string(getpid());
  }
  ~FuzzFile() { std::remove(path_.c_str()); }
  const std::string& Path() const { return path_; }

  void Write(const unsigned char* data, std::size_t size) const {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
  }

 private:
  std::string path_;
};
