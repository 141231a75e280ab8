// Buffered writing of RIFF files: create (opened for reading and writing), seek, RIFF chunk header,
// write, flush, close. Used by the recorder's capture thread and by WAV output, so the buffer is
// allocated once, when the file is created.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace melvox::platform {

class RiffWriter {
 public:
  RiffWriter() = default;
  ~RiffWriter();
  RiffWriter(const RiffWriter&) = delete;
  RiffWriter& operator=(const RiffWriter&) = delete;

  // Creates the file, or truncates an existing one, for reading and writing (mode 0644).
  bool Create(const char* path);
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
  // Writes what is pending and closes; false when anything since Create failed to reach the file.
  bool Close();
  int LastError() const { return last_error_; }

 private:
  static constexpr size_t kBufferSize = 16384;
  int fd_ = -1;
  int last_error_ = 0;
  bool failed_ = false;
  std::unique_ptr<unsigned char[]> buffer_;
  size_t pending_ = 0;
};

}  // namespace melvox::platform
