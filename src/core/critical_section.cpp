#include "core/critical_section.h"

namespace melvox {

CCriticalSection::~CCriticalSection() { Leave(); }

void CCriticalSection::Enter() {
  mutex_.lock();
  entered_.store(true);
}

bool CCriticalSection::TryEnter() {
  if (!mutex_.try_lock()) return false;
  entered_.store(true);
  return true;
}

void CCriticalSection::Leave() {
  if (entered_.exchange(false)) mutex_.unlock();
}

}  // namespace melvox
