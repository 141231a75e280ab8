// A read-only file handle over a POSIX descriptor. Every failure returns false and keeps the
// system's error number (errno) for LastError().
#pragma once

#include <cstddef>
#include <cstdint>

namespace melvox::platform {

enum class SeekOrigin : int { kBegin = 0, kCurrent = 1, kEnd = 2 };

class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file for reading; closes a file held before. A folder is refused (EISDIR).
  bool OpenForReading(const char* path);
  bool IsOpen() const { return fd_ >= 0; }
  // Reads up to count bytes; read is what arrived (less than count only at the end of the file).
  bool Read(void* buffer, size_t count, size_t& read);
  // Moves the position; a position past the end of the file is allowed (reads there return 0).
  bool Seek(int64_t offset, SeekOrigin origin);
  bool Tell(int64_t& position);
  void Close();
  int LastError() const { return last_error_; }

 private:
  int fd_ = -1;
  int last_error_ = 0;
};

}  // namespace melvox::platform
