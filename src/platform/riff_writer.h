// Buffered writing of RIFF files: a new output file (which replaces its path only once it is complete)
// or the recorder's own file, then seek, RIFF chunk header, write, flush, close. Used by the
// recorder's capture thread and by WAV output, so the buffer is allocated once, when a file is opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/replacing_file.h"

namespace melvox::platform {

class RiffWriter {
 public:
  RiffWriter() = default;
  // Discards an output file that was not closed; closes the recorder's file.
  ~RiffWriter() { Discard(); }
  RiffWriter(const RiffWriter&) = delete;
  RiffWriter& operator=(const RiffWriter&) = delete;

  // A new file for path, written beside it and put in its place by Close (see ReplacingFile). It is
  // write-only: Seek works, reading back does not.
  bool CreateOutput(const char* path);
  // Opens the file at path for reading and writing and empties it: an existing regular file with a
  // single name (never through a symbolic link), or, when path names nothing, a new one made
  // exclusively with mode 0600. Anything else at path (a link, a folder, a device, a file with other
  // names) is refused with ELOOP, EISDIR or EPERM in LastError.
  bool OpenPrivate(const char* path);
  bool IsOpen() const { return fd_ >= 0; }
  // Moves to an absolute byte offset; pending bytes are written first.
  bool Seek(int64_t offset);
  // Writes the 12-byte header of a RIFF chunk at the current position: "RIFF", size, form type.
  bool CreateRiffChunk(const char form_type[4], uint32_t size);
  // Writes a four-character code or a little-endian 32-bit value.
  bool WriteFourCc(const char code[4]);
  bool WriteUint32(uint32_t value);
  bool Write(const void* data, size_t bytes);
  // Writes what is pending to the file now (a reader of the file then sees it).
  bool Flush();
  // Writes what is pending and closes; an output file then takes its path's place. False when anything
  // since the file was opened failed to reach it (an output file is then removed).
  bool Close();
  // Closes without writing what is pending; an output file is removed.
  void Discard();
  // The end of the bytes that reached the file: its size, after sequential writing, even when a later
  // write failed.
  uint64_t WrittenEnd() const { return written_end_; }
  int LastError() const { return last_error_; }

 private:
  // Takes a newly opened descriptor (or records the failure to open one).
  bool Opened(int fd);

  static constexpr size_t kBufferSize = 16384;
  ReplacingFile output_;  // the output file, when one is open
  int fd_ = -1;
  int last_error_ = 0;
  bool failed_ = false;
  std::unique_ptr<unsigned char[]> buffer_;
  size_t pending_ = 0;
  uint64_t position_ = 0;
  uint64_t written_end_ = 0;
};

}  // namespace melvox::platform
