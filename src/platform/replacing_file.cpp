#include "platform/replacing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <sys/stat.h>

namespace melvox::platform {
namespace {

int OpenRetrying(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

bool ReplacingFile::Create(const std::string& destination) {
  Discard();
  // A link is followed to the file it names, which is the one to replace.
  char resolved[PATH_MAX];
  destination_ = ::realpath(destination.c_str(), resolved) != nullptr ? resolved : destination;
  struct stat existing {};
  const bool exists = ::stat(destination_.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    fd_ = OpenRetrying(destination_.c_str(), O_WRONLY | O_TRUNC, 0);
    return fd_ >= 0;
  }
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device source;
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = destination_ + ".";
    for (int i = 0; i < 6; ++i) temp_ += kLetters[pick(source)];
    fd_ = OpenRetrying(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd_ >= 0 || errno != EEXIST) break;
  }
  if (fd_ < 0) {
    temp_.clear();
    return false;
  }
  if (exists && ::fchmod(fd_, existing.st_mode & 07777) != 0) {
    Discard();
    return false;
  }
  return true;
}

bool ReplacingFile::Commit() {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  // A failed close can be the first report of a write that did not reach the disk (EINTR is not one).
  if ((::close(fd) != 0 && errno != EINTR) || (!temp_.empty() && ::rename(temp_.c_str(), destination_.c_str()) != 0)) {
    Discard();
    return false;
  }
  temp_.clear();
  return true;
}

void ReplacingFile::Discard() {
  const int error = errno;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  errno = error;
}

}  // namespace melvox::platform
