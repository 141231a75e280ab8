#include "core/thread.h"

namespace melvox {

CThread::~CThread() {
  CLock lock(lock_);
  thread_.Close();
}

bool CThread::Start() {
  CLock lock(lock_);
  if (thread_.IsRunning()) return false;
  thread_.Close();
  stop_requested_.store(false);
  return thread_.Start([this] { return Run(); });
}

bool CThread::IsRunning() {
  CLock lock(lock_);
  return thread_.IsRunning();
}

uint32_t CThread::ExitCode() {
  CLock lock(lock_);
  return thread_.ExitCode();
}

void CThread::WaitForEnd() {
  platform::Thread::Observer observer;
  {
    CLock lock(lock_);
    observer = thread_.Observe();
  }
  // The wait runs outside the lock: the thread itself may ask IsRunning (or Start) meanwhile.
  observer.Wait(-1);
}

}  // namespace melvox
