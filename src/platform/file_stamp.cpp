#include "platform/file_stamp.h"

#include <sys/stat.h>

namespace melvox::platform {

bool StampFile(const char* path, FileStamp& stamp) {
  struct stat status {};
  if (::stat(path, &status) != 0) return false;
  stamp.size = static_cast<int64_t>(status.st_size);
  stamp.modified_ns = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  return true;
}

}  // namespace melvox::platform
