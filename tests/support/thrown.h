// What a call throws, for checks: the code of a CMVException, or the text that reaches the host.
#pragma once

#include <cstdint>
#include <string>

#include "core/mv_exception.h"
#include "melvox/errors.h"

namespace melvox::testing {

// The code of the CMVException that body throws, or -1 when it returns.
template <typename Body>
int32_t ErrorCodeOf(Body&& body) {
  try {
    body();
  } catch (const CMVException& error) {
    return error.GetCode();
  }
  return -1;
}

// The text of the CMsgException that body throws (what the host sees), or "(nothing thrown)".
template <typename Body>
std::string HostMessageOf(Body&& body) {
  try {
    body();
  } catch (const CMsgException& error) {
    return error.what();
  }
  return "(nothing thrown)";
}

}  // namespace melvox::testing
