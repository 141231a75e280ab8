#include "interrupt.h"

namespace melvox::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

InterruptScope::InterruptScope() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous_);
}

InterruptScope::~InterruptScope() { sigaction(SIGINT, &previous_, nullptr); }

bool InterruptScope::Interrupted() { return g_interrupted != 0; }

}  // namespace melvox::cli
