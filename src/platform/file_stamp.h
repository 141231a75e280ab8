// What tells one version of a file from another without reading it: its size and the time it was
// last modified.
#pragma once

#include <cstdint>

namespace melvox::platform {

struct FileStamp {
  int64_t size = -1;
  int64_t modified_ns = 0;  // nanoseconds since the epoch

  bool operator==(const FileStamp& other) const { return size == other.size && modified_ns == other.modified_ns; }
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// The stamp of the file at path as it is now; false (and errno kept) when it cannot be looked at.
bool StampFile(const char* path, FileStamp& stamp);

}  // namespace melvox::platform
