// A temporary folder for one test, removed with everything in it when the object goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace melvox::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path of a file name inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes bytes to a file in the folder and returns its path.
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

 private:
  std::string path_;
};

// A full disk, as far as this process and the programs it starts meanwhile write: while the object
// lives no file may grow past `bytes` (a write there fails with EFBIG; SIGXFSZ is ignored).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  uint64_t old_limit_;
  void (*old_handler_)(int);
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace melvox::testing
