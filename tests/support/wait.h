// Waiting in tests for what other threads do, and collecting what they report.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_box.h"

namespace melvox::testing {

// Polls done() every millisecond until it holds (true) or timeout_ms have passed (false).
template <typename Done>
bool WaitUntil(Done done, int64_t timeout_ms = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Entries added from any thread, read back as a copy.
template <typename T>
class Log {
 public:
  void Add(T entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(std::move(entry));
  }
  std::vector<T> Entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
  }
  size_t Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
  }
  // Waits until at least n entries arrived (false after 5 s).
  bool WaitFor(size_t n) const {
    return WaitUntil([&] { return Count() >= n; });
  }

 private:
  mutable std::mutex mutex_;
  std::vector<T> entries_;
};

// Collects the texts of the message boxes shown while it lives, instead of showing them.
class MessageBoxes : public Log<std::string> {
 public:
  MessageBoxes()
      : previous_(platform::SetMessageBoxHandler([this](const std::string& text, const std::string& caption) {
          Add(caption.empty() ? text : caption + ": " + text);
        })) {}
  ~MessageBoxes() { platform::SetMessageBoxHandler(previous_); }
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;

 private:
  platform::MessageBoxHandler previous_;
};

}  // namespace melvox::testing
