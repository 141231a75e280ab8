#include "sound/file_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/mv_exception.h"

namespace melvox {

CFileReader::CFileReader() = default;

CFileReader::~CFileReader() { file_.Close(); }

void CFileReader::Open(const char* path) {
  file_.Close();
  if (path == nullptr || !file_.OpenForReading(path)) throw CMVException(kErrCannotOpenFile);
}

void CFileReader::GetPosition(int64_t& position) {
  if (!file_.IsOpen()) throw CMVException(kErrFileNotOpened);
  if (!file_.Tell(position)) throw CMVException(kErrFileIo);
}

void CFileReader::Seek(int64_t offset, int origin) {
  if (!file_.IsOpen()) throw CMVException(kErrFileNotOpened);
  if (origin < 0 || origin > 2) throw CMVException(kErrFileIo);
  if (!file_.Seek(offset, static_cast<platform::SeekOrigin>(origin))) throw CMVException(kErrFileIo);
}

bool CFileReader::Read(void* buffer, uint32_t count, uint32_t& read) {
  if (!file_.IsOpen()) throw CMVException(kErrFileNotOpened);
  size_t got = 0;
  if (!file_.Read(buffer, count, got)) throw CMVException(kErrFileIo);
  read = static_cast<uint32_t>(got);
  return true;
}

void CFileReader::Close() { file_.Close(); }

int64_t CFileReader::GetSize() {
  int64_t here = 0;
  int64_t size = 0;
  GetPosition(here);
  Seek(0, 2);
  GetPosition(size);
  Seek(here, 0);
  return size;
}

CMemoryFileReader::CMemoryFileReader(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

CMemoryFileReader::CMemoryFileReader(const uint8_t* data, size_t size) : bytes_(data, data + size) {}

void CMemoryFileReader::GetPosition(int64_t& position) {
  if (!open_) throw CMVException(kErrFileNotOpened);
  position = position_;
}

void CMemoryFileReader::Seek(int64_t offset, int origin) {
  if (!open_) throw CMVException(kErrFileNotOpened);
  int64_t base = 0;
  if (origin == 1) {
    base = position_;
  } else if (origin == 2) {
    base = static_cast<int64_t>(bytes_.size());
  } else if (origin != 0) {
    throw CMVException(kErrFileIo);
  }
  // As with a file: before the start is an error, past the end is allowed.
  if ((offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset)) {
    throw CMVException(kErrFileIo);
  }
  position_ = base + offset;
}

bool CMemoryFileReader::Read(void* buffer, uint32_t count, uint32_t& read) {
  if (!open_) throw CMVException(kErrFileNotOpened);
  const int64_t size = static_cast<int64_t>(bytes_.size());
  const int64_t left = position_ < size ? size - position_ : 0;
  read = static_cast<uint32_t>(std::min<int64_t>(left, count));
  if (read > 0) std::memcpy(buffer, bytes_.data() + position_, read);
  position_ += read;
  return true;
}

void CMemoryFileReader::Close() { open_ = false; }

}  // namespace melvox
