// CMVException: an error code of the file, decoding and device layers with its fixed message.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace melvox {

// Error codes raised inside the library. Codes 1 to 7, 14, 1001 and 1003 belong to the shared
// vocabulary of messages but are never raised here.
enum MVErrorCode : int32_t {
  kErrUnsupportedWaveFormat = 8,  // "Unsupported wave format"
  kErrIncorrectWaveFormat = 9,    // "Incorrect wave format"
  kErrCannotOpenFile = 10,        // "Cannot open file"
  kErrFileIo = 11,                // "File I/O error"
  kErrFileNotOpened = 12,         // "File not opened"
  kErrAudioInit = 13,             // "Could not init audio system"
};

// Carries a code and the message that the code table gives it. A code outside the table becomes 0
// with the message "Unexpected error". Copies share one message string.
class CMVException {
 public:
  explicit CMVException(int32_t code);
  CMVException(const CMVException& other) = default;
  CMVException& operator=(const CMVException& other) = default;
  virtual ~CMVException();

  // The message, or nullptr when none was set.
  const char* GetMessage() const { return message_ ? message_->c_str() : nullptr; }
  int32_t GetCode() const { return code_; }

  // The table's text for a code, or nullptr for a code outside the table.
  static const char* MessageForCode(int32_t code);

 private:
  std::shared_ptr<const std::string> message_;
  int32_t code_;
};

}  // namespace melvox
