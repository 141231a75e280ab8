// Message boxes: the library's few user-visible reports (device errors, a failed release of sound
// memory). They go through a replaceable handler; the default shows a dialog on the X display
// (ShowX11MessageBox) and, when no display opens, writes one line to standard error.
#pragma once

#include <functional>
#include <string>

namespace melvox::platform {

using MessageBoxHandler = std::function<void(const std::string& text, const std::string& caption)>;

// Shows text with caption (empty for none) through the current handler; blocks until it returns.
void ShowMessageBox(const std::string& text, const std::string& caption);

// Installs a handler (an empty one restores the default) and returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The handler that writes one line, "melvox: CAPTION: TEXT", to standard error (what the default does
// without a display); the command-line tool installs it for every command but `melvox view`.
void WriteMessageToStandardError(const std::string& text, const std::string& caption);

}  // namespace melvox::platform
