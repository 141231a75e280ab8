#include "platform/riff_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace melvox::platform {

bool RiffWriter::Opened(int fd) {
  fd_ = fd;
  if (fd_ < 0) {
    last_error_ = errno;
    return false;
  }
  if (!buffer_) buffer_.reset(new unsigned char[kBufferSize]);
  pending_ = 0;
  failed_ = false;
  position_ = 0;
  written_end_ = 0;
  return true;
}

bool RiffWriter::CreateOutput(const char* path) {
  Discard();
  return Opened(output_.Create(path) ? output_.Descriptor() : -1);
}

bool RiffWriter::OpenPrivate(const char* path) {
  Discard();
  int fd;
  do {
    fd = ::open(path, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) fd = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  struct stat info {};
  if (fd >= 0 && ::fstat(fd, &info) == 0 && (!S_ISREG(info.st_mode) || info.st_nlink != 1)) {
    ::close(fd);
    fd = -1;
    errno = EPERM;
  }
  if (fd >= 0 && ::ftruncate(fd, 0) != 0) {
    const int error = errno;
    ::close(fd);
    fd = -1;
    errno = error;
  }
  return Opened(fd);
}

bool RiffWriter::Flush() {
  size_t done = 0;
  while (done < pending_) {
    const ssize_t wrote = ::write(fd_, buffer_.get() + done, pending_ - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      last_error_ = errno;
      failed_ = true;
      pending_ = 0;
      return false;
    }
    done += static_cast<size_t>(wrote);
    position_ += static_cast<uint64_t>(wrote);
    written_end_ = std::max(written_end_, position_);
  }
  pending_ = 0;
  return true;
}

bool RiffWriter::Seek(int64_t offset) {
  if (fd_ < 0 || !Flush()) return false;
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    last_error_ = errno;
    failed_ = true;
    return false;
  }
  position_ = static_cast<uint64_t>(offset);
  return true;
}

bool RiffWriter::Write(const void* data, size_t bytes) {
  if (fd_ < 0) return false;
  const auto* in = static_cast<const unsigned char*>(data);
  while (bytes > 0) {
    if (pending_ == kBufferSize && !Flush()) return false;
    const size_t take = bytes < kBufferSize - pending_ ? bytes : kBufferSize - pending_;
    std::memcpy(buffer_.get() + pending_, in, take);
    pending_ += take;
    in += take;
    bytes -= take;
  }
  return true;
}

bool RiffWriter::WriteFourCc(const char code[4]) { return Write(code, 4); }

bool RiffWriter::WriteUint32(uint32_t value) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                  static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  return Write(bytes, 4);
}

bool RiffWriter::CreateRiffChunk(const char form_type[4], uint32_t size) {
  return WriteFourCc("RIFF") && WriteUint32(size) && WriteFourCc(form_type);
}

bool RiffWriter::Close() {
  if (fd_ < 0) return !failed_;
  Flush();
  if (output_.Descriptor() == fd_) {
    if (!failed_ && !output_.Commit()) {
      last_error_ = errno;
      failed_ = true;
    }
  } else if (::close(fd_) != 0 && errno != EINTR) {
    last_error_ = errno;
    failed_ = true;
  }
  fd_ = -1;
  Discard();
  return !failed_;
}

void RiffWriter::Discard() {
  if (fd_ >= 0 && output_.Descriptor() != fd_) ::close(fd_);
  fd_ = -1;
  output_.Discard();
  pending_ = 0;
}

}  // namespace melvox::platform
