// CFileReader: the file access of every file source. Its operations are virtual so that a reader over
// memory (tests, fuzzing) can stand in for a file.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/file.h"

namespace melvox {

// Errors are CMVException: 10 "Cannot open file" when a file cannot be opened, 11 "File I/O error" when
// a read, seek or position query fails, 12 "File not opened" when no file is open.
class CFileReader {
 public:
  CFileReader();
  virtual ~CFileReader();
  CFileReader(const CFileReader&) = delete;
  CFileReader& operator=(const CFileReader&) = delete;

  virtual void GetPosition(int64_t& position);
  // origin: 0 from the start, 1 from the current position, 2 from the end.
  virtual void Seek(int64_t offset, int origin);
  // Reads up to count bytes; read holds what arrived (fewer only at the end of the file). True.
  virtual bool Read(void* buffer, uint32_t count, uint32_t& read);
  virtual void Close();

  // Opens path for reading, closing a file held before.
  void Open(const char* path);
  // Size of the file in bytes; the position is kept.
  int64_t GetSize();

 private:
  platform::File file_;
};

// A reader over bytes in memory with the same contract, for tests and the fuzz targets.
class CMemoryFileReader : public CFileReader {
 public:
  explicit CMemoryFileReader(std::vector<uint8_t> bytes);
  CMemoryFileReader(const uint8_t* data, size_t size);

  void GetPosition(int64_t& position) override;
  void Seek(int64_t offset, int origin) override;
  bool Read(void* buffer, uint32_t count, uint32_t& read) override;
  void Close() override;

 private:
  std::vector<uint8_t> bytes_;
  int64_t position_ = 0;
  bool open_ = true;
};

}  // namespace melvox
