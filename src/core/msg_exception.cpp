#include "melvox/errors.h"

namespace melvox {

CMsgException::CMsgException() : text_("Unknown error.") {}

CMsgException::CMsgException(const char* text) : text_(text != nullptr ? text : "") {}

CMsgException::~CMsgException() = default;

const char* CMsgException::what() const noexcept { return text_.c_str(); }

}  // namespace melvox
