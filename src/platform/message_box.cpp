#include "platform/message_box.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include "platform/x11_message_box.h"

namespace melvox::platform {

void WriteMessageToStandardError(const std::string& text, const std::string& caption) {
  if (caption.empty()) {
    std::fprintf(stderr, "melvox: %s\n", text.c_str());
  } else {
    std::fprintf(stderr, "melvox: %s: %s\n", caption.c_str(), text.c_str());
  }
}

namespace {

// A dialog on the X display when one opens, else the line on standard error.
void ShowDefault(const std::string& text, const std::string& caption) {
  if (!ShowX11MessageBox(text, caption)) WriteMessageToStandardError(text, caption);
}

std::mutex& HandlerMutex() {
  static std::mutex mutex;
  return mutex;
}

MessageBoxHandler& CurrentHandler() {
  static MessageBoxHandler handler = ShowDefault;
  return handler;
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption) {
  MessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    handler = CurrentHandler();
  }
  handler(text, caption);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  MessageBoxHandler previous = std::move(CurrentHandler());
  CurrentHandler() = handler ? std::move(handler) : MessageBoxHandler(ShowDefault);
  return previous;
}

}  // namespace melvox::platform
