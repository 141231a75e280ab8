// Failure injection for the test devices: per operation, a rule that lets some calls succeed and fails
// the next ones with a chosen result, and a count of the calls made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/wave_out.h"

namespace melvox::platform {

// Operations are numbered 0 .. operations - 1 (an enum of the device's operations).
//
// Threading: every operation may be called from any thread.
class InjectedFailures {
 public:
  explicit InjectedFailures(size_t operations) : rules_(operations), calls_(operations, 0) {}

  // From the `after`-th call of op on (0: the next one), `count` calls fail with result; the calls in
  // between succeed. A new rule for op replaces the old one.
  void Inject(size_t op, MMRESULT result, uint32_t after, uint32_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    rules_[op] = Rule{result, after, count};
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Rule& rule : rules_) rule = Rule{};
  }
  // Counts a call of op and returns its injected result (MMSYSERR_NOERROR: the call goes ahead).
  MMRESULT Take(size_t op) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++calls_[op];
    Rule& rule = rules_[op];
    if (rule.count == 0) return MMSYSERR_NOERROR;
    if (rule.skip > 0) {
      --rule.skip;
      return MMSYSERR_NOERROR;
    }
    --rule.count;
    return rule.result;
  }
  // Calls of op so far, failed ones included.
  uint32_t Calls(size_t op) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_[op];
  }

 private:
  struct Rule {
    MMRESULT result = MMSYSERR_NOERROR;
    uint32_t skip = 0;
    uint32_t count = 0;
  };

  mutable std::mutex mutex_;
  std::vector<Rule> rules_;
  std::vector<uint32_t> calls_;
};

}  // namespace melvox::platform
