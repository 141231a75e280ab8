// CCriticalSection and CLock: the mutual exclusion of the engines, the player and the recorder.
#pragma once

#include <atomic>
#include <mutex>

namespace melvox {

// A lock with an entered flag. Enter locks and sets the flag; Leave unlocks only when the flag is set,
// and clears it, so one Leave too many is harmless while no other thread holds the section. The
// section is not entered recursively: a thread that holds it must not Enter again. The destructor
// leaves a section that is still entered.
//
// Threading: Enter from any thread; Leave, and the destructor while entered, on the thread that
// entered. The flag is atomic so that a stray Leave reads it without a data race.
class CCriticalSection {
 public:
  CCriticalSection() = default;
  ~CCriticalSection();
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Enter();
  // Enters only when no thread holds the section; false (without waiting) otherwise.
  bool TryEnter();
  void Leave();

 private:
  std::mutex mutex_;
  std::atomic<bool> entered_{false};
};

// Enters a section for the lifetime of the guard.
class CLock {
 public:
  explicit CLock(CCriticalSection& section) : section_(section) { section_.Enter(); }
  ~CLock() { section_.Leave(); }
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;

 private:
  CCriticalSection& section_;
};

}  // namespace melvox
