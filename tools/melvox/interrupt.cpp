#include "interrupt.h"

namespace melvox::cli {
namespace {

volatile std::sig_atomic_t g_signal = 0;

void OnSignal(int number) { g_signal = number; }

}  // namespace

InterruptScope::InterruptScope() {
  g_signal = 0;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

InterruptScope::~InterruptScope() {
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
}

bool InterruptScope::Interrupted() { return g_signal != 0; }

int InterruptScope::ExitStatus() { return 128 + g_signal; }

}  // namespace melvox::cli
