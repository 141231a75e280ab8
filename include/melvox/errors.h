// The one exception type that leaves the library's public operations.
#pragma once

#include <exception>
#include <string>

#include "melvox/export.h"

namespace melvox {

// Thrown by the operations of ISoundPlayer and ISoundRecorder. what() is the library's own message,
// for example "Cannot open file", "Nothing to play." or "Unknown error.".
class MELVOX_API CMsgException : public std::exception {
 public:
  // The text "Unknown error.".
  CMsgException();
  explicit CMsgException(const char* text);
  ~CMsgException() override;

  const char* what() const noexcept override;

 private:
  std::string text_;
};

}  // namespace melvox
