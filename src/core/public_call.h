// The translation of failures at the public boundary: every public operation of the player and the
// recorder runs its body through GuardPublicCall, so that nothing but CMsgException reaches the host.
#pragma once

#include <utility>

#include "core/mv_exception.h"
#include "melvox/errors.h"

namespace melvox {

// Runs body and returns its result. A CMsgException passes unchanged ("Nothing to play."); a
// CMVException leaves as CMsgException with the same message; anything else as "Unknown error.".
template <typename Body>
decltype(auto) GuardPublicCall(Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (const CMsgException&) {
    throw;
  } catch (const CMVException& error) {
    throw CMsgException(error.GetMessage());
  } catch (...) {
    throw CMsgException();
  }
}

}  // namespace melvox
