#include "platform/temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace melvox::platform {

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = (dir != nullptr && dir[0] != '\0') ? dir : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool CreateTempFile(const char* prefix, std::string& path) {
  const std::string pattern = TempFolder() + "/" + prefix + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);  // O_EXCL, mode 0600
  if (fd < 0) return false;
  ::close(fd);
  path.assign(name.data());
  return true;
}

bool DeleteFile(const char* path) { return ::unlink(path) == 0; }

}  // namespace melvox::platform
