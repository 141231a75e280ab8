// The temporary folder and secure creation of unique temporary files.
#pragma once

#include <string>

namespace melvox::platform {

// $TMPDIR when set and not empty, else /tmp; without a trailing slash.
std::string TempFolder();

// Creates a new empty file named prefix + six random characters in the temporary folder, exclusively
// and with mode 0600, and stores its path. False (errno kept) when it cannot be created.
bool CreateTempFile(const char* prefix, std::string& path);

// Removes a file; false when it could not be removed.
bool DeleteFile(const char* path);

}  // namespace melvox::platform
