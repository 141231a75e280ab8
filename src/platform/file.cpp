#include "platform/file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <sys/stat.h>

namespace melvox::platform {

File::~File() { Close(); }

bool File::OpenForReading(const char* path) {
  Close();
  do {
    fd_ = ::open(path, O_RDONLY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  // A folder opens for reading, but reading it fails: it is refused here, as no file to read.
  struct stat info {};
  if (fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
    Close();
    errno = EISDIR;
  }
  if (fd_ < 0) {
    last_error_ = errno;
    return false;
  }
  return true;
}

bool File::Read(void* buffer, size_t count, size_t& read) {
  read = 0;
  auto* out = static_cast<unsigned char*>(buffer);
  while (read < count) {
    const ssize_t got = ::read(fd_, out + read, count - read);
    if (got < 0) {
      if (errno == EINTR) continue;
      last_error_ = errno;
      return false;
    }
    if (got == 0) break;  // end of file
    read += static_cast<size_t>(got);
  }
  return true;
}

bool File::Seek(int64_t offset, SeekOrigin origin) {
  const int whence = origin == SeekOrigin::kBegin ? SEEK_SET : origin == SeekOrigin::kCurrent ? SEEK_CUR : SEEK_END;
  if (::lseek(fd_, static_cast<off_t>(offset), whence) < 0) {
    last_error_ = errno;
    return false;
  }
  return true;
}

bool File::Tell(int64_t& position) {
  const off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0) {
    last_error_ = errno;
    return false;
  }
  position = at;
  return true;
}

void File::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace melvox::platform
