// Output files that take their destination's place only once they are complete: every file the
// library and the command line write for a user (WAV, PNG, a copied recording) goes through this.
#pragma once

#include <string>

namespace melvox::platform {

// A new file written beside its destination and renamed over it only once it is complete, so that the
// destination holds either what it held before or the whole new content, never a part of it (a full
// disk, a killed process), and two writers of one destination never mix their bytes: the last one to
// finish wins.
//
// Create makes "<destination>.XXXXXX" (six random letters or digits) exclusively in the destination's
// folder, with the destination's permission bits when it exists, else 0666 less the umask. A
// destination that is a symbolic link is replaced where the link points. A destination that exists
// but is no regular file (a device such as /dev/null, a pipe) cannot be replaced: it is opened and
// written directly, and Commit only closes it. Commit closes the file and renames it over the
// destination; Discard, and the destructor when Commit has not succeeded, closes and removes it.
// Failures return false and keep errno. One thread uses an object at a time.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile() { Discard(); }
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Discards a file made before, then makes the new one.
  bool Create(const std::string& destination);
  // The descriptor to write to (opened for writing only); -1 when none is open.
  int Descriptor() const { return fd_; }
  // Closes the file and puts it in the destination's place; on failure the file is removed.
  bool Commit();
  // Closes and removes the file (errno is kept); harmless when none is open.
  void Discard();

 private:
  int fd_ = -1;
  std::string temp_;  // the file's own name; empty when the destination is written directly
  std::string destination_;
};

}  // namespace melvox::platform
