// Ctrl-C for the commands that run until the sound ends or the user stops them (play, record).
#pragma once

#include <csignal>

namespace melvox::cli {

// Exit status after Ctrl-C, as shells report a process ended by SIGINT.
constexpr int kInterruptedStatus = 130;

// Catches Ctrl-C for its lifetime: the handler only sets a flag, which the command's loop reads with
// Interrupted().
class InterruptScope {
 public:
  InterruptScope();
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

  static bool Interrupted();

 private:
  struct sigaction previous_ {};
};

}  // namespace melvox::cli
