// Ctrl-C, and the signals that end a terminal session or ask a program to stop, for the commands that
// run until the sound ends or the user stops them (play, record).
#pragma once

#include <csignal>

namespace melvox::cli {

// Catches SIGINT (Ctrl-C), SIGTERM and SIGHUP for its lifetime: the handler only notes the signal,
// which the command's loop reads with Interrupted(), so that the command stops and cleans up (its
// temporary files) before it ends.
class InterruptScope {
 public:
  InterruptScope();
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

  static bool Interrupted();
  // The exit status after the signal, as shells report a process it ended: 128 + its number (130 for
  // Ctrl-C).
  static int ExitStatus();

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction previous_[3]{};
};

}  // namespace melvox::cli
