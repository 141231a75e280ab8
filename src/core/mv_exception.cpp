#include "core/mv_exception.h"

namespace melvox {

const char* CMVException::MessageForCode(int32_t code) {
  switch (code) {
    case 1:
      return "Requested file not found on server";
    case 2:
      return "Incorrect response from server";
    case 3:
      return "Sockets could not init";
    case 4:
      return "Sockets don't inited";
    case 5:
      return "Socket timeout exceeded";
    case 6:
      return "Host to connect not found";
    case 7:
      return "1001";
    case 8:
      return "Unsupported wave format";
    case 9:
      return "Incorrect wave format";
    case 10:
      return "Cannot open file";
    case 11:
      return "File I/O error";
    case 12:
      return "File not opened";
    case 13:
      return "Could not init audio system";
    case 14:
      return "Audio system cannot play sample - unknown samples number";
    case 1001:
      return "1002";
    case 1003:
      return "1003";
    default:
      return nullptr;
  }
}

CMVException::CMVException(int32_t code) : code_(code) {
  const char* text = MessageForCode(code);
  if (text == nullptr) {
    text = "Unexpected error";
    code_ = 0;
  }
  message_ = std::make_shared<const std::string>(text);
}

CMVException::~CMVException() = default;

}  // namespace melvox
