#include "cli.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>

#include "core/mv_exception.h"
#include "melvox/errors.h"
#include "platform/message_box.h"

namespace melvox::cli {
namespace {

std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

const Command* Find(const std::string& name) {
  for (const Command& command : Registry()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

void PrintOverview() {
  std::printf(
      "Usage: melvox COMMAND [ARGUMENTS]\n\n"
      "Play, record, compare and show spoken sound (WAV: mono PCM or IMA ADPCM; Ogg Vorbis).\n\n"
      "Commands:\n");
  std::vector<Command> sorted = Registry();
  std::sort(sorted.begin(), sorted.end(), [](const Command& a, const Command& b) { return a.order < b.order; });
  for (const Command& command : sorted) std::printf("  %-10s %s\n", command.name, command.summary);
  std::printf("  %-10s %s\n", "help", "explain a command: melvox help COMMAND");
  std::printf(
      "\n'melvox --version' prints the version. '--' ends a command's options: the arguments after it\n"
      "are file names, even those that begin with '-'.\n"
      "\nExit status: 0 on success, 1 when the library reports an error (its message on standard\n"
      "error) or the output cannot be written, 2 for a usage error.\n");
}

void PrintHelp(const Command& command) {
  std::printf("Usage: melvox %s %s\n\n%s\n", command.name, command.synopsis, command.details);
  if (!command.options.empty()) std::printf("\nOptions:\n");
  for (const Option& option : command.options) {
    std::string left = option.name;
    if (option.value_name != nullptr) left += std::string(" ") + option.value_name;
    std::printf("  %-18s %s\n", left.c_str(), option.help);
  }
  std::printf("  %-18s %s\n", "--help", "show this text");
}

// --help or -h before any "--" (after it, they are file names).
bool WantsHelp(const std::vector<std::string>& args) {
  const auto options_end = std::find(args.begin(), args.end(), "--");
  return std::find(args.begin(), options_end, "--help") != options_end ||
         std::find(args.begin(), options_end, "-h") != options_end;
}

// A library failure's message, with what the tool reads when the message says only that the file is
// not a sound it reads (a stereo WAV file and an MP3 file renamed to .wav both say so).
void PrintFailure(const char* message) {
  std::fprintf(stderr, "%s\n", message);
  if (std::strcmp(message, CMVException::MessageForCode(kErrIncorrectWaveFormat)) == 0) {
    std::fprintf(stderr, "melvox reads mono WAV files (PCM or IMA ADPCM) and Ogg Vorbis files.\n");
  }
}

// Runs the command line; the exit status.
int Dispatch(std::vector<std::string> args) {
  if (!args.empty() && args[0] == "--version") {
    std::printf("melvox %s\n", MELVOX_VERSION);
    return 0;
  }
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    if (args.size() >= 2) {
      if (const Command* command = Find(args[1])) {
        PrintHelp(*command);
        return 0;
      }
      std::fprintf(stderr, "melvox: unknown command '%s'\n", args[1].c_str());
      return 2;
    }
    PrintOverview();
    return args.empty() ? 2 : 0;
  }
  const Command* command = Find(args[0]);
  if (command == nullptr) {
    std::fprintf(stderr, "melvox: unknown command '%s'\nTry 'melvox help'.\n", args[0].c_str());
    return 2;
  }
  args.erase(args.begin());
  if (WantsHelp(args)) {
    PrintHelp(*command);
    return 0;
  }
  // The tool's reports go to standard error; only a window of its own (melvox view) shows dialogs.
  if (!command->shows_windows) platform::SetMessageBoxHandler(platform::WriteMessageToStandardError);
  try {
    return command->run(Parse(*command, args));
  } catch (const UsageError& error) {
    std::fprintf(stderr, "melvox %s: %s\nTry 'melvox help %s'.\n", command->name, error.what(), command->name);
    return 2;
  } catch (const CMVException& error) {
    PrintFailure(error.GetMessage() != nullptr ? error.GetMessage() : "Unexpected error");
    return 1;
  } catch (const CMsgException& error) {
    PrintFailure(error.what());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "Out of memory\n");
    return 1;
  }
}

// What a command printed must have reached standard output: a full disk or a closed pipe is a failure.
int CheckStandardOutput(int status) {
  const int error = std::fflush(stdout) != 0 ? errno : std::ferror(stdout) ? EIO : 0;
  if (error == 0) return status;
  std::fprintf(stderr, "melvox: cannot write to standard output: %s\n", std::strerror(error));
  return status == 0 ? 1 : status;
}

}  // namespace

bool RegisterCommand(Command command) {
  Registry().push_back(std::move(command));
  return true;
}

bool ParsedArgs::Has(const std::string& name) const {
  return std::any_of(options_.begin(), options_.end(), [&](const auto& option) { return option.first == name; });
}

std::string ParsedArgs::Value(const std::string& name, const std::string& fallback) const {
  for (auto it = options_.rbegin(); it != options_.rend(); ++it) {
    if (it->first == name) return it->second;
  }
  return fallback;
}

long ParsedArgs::IntValue(const std::string& name, long fallback, long min, long max) const {
  if (!Has(name)) return fallback;
  const std::string text = Value(name, "");
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < min || value > max) {
    throw UsageError(name + " must be a whole number from " + std::to_string(min) + " to " + std::to_string(max) +
                     " (got '" + text + "')");
  }
  return value;
}

ParsedArgs Parse(const Command& command, const std::vector<std::string>& args) {
  ParsedArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {  // the end of the options: all that follows is positional
      parsed.positional_.insert(parsed.positional_.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                args.end());
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      parsed.positional_.push_back(arg);
      continue;
    }
    std::string name = arg;
    std::string value;
    bool has_inline_value = false;
    if (const size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      has_inline_value = true;
    }
    const auto option = std::find_if(command.options.begin(), command.options.end(),
                                     [&](const Option& candidate) { return name == candidate.name; });
    if (option == command.options.end()) {
      // A negative number is a positional argument, not an option.
      if (arg.find_first_not_of("-0123456789") == std::string::npos && arg.size() > 1 && arg[1] != '-') {
        parsed.positional_.push_back(arg);
        continue;
      }
      throw UsageError("unknown option '" + name + "' for " + command.name);
    }
    if (option->value_name == nullptr) {
      if (has_inline_value) throw UsageError(name + " takes no value");
    } else if (!has_inline_value) {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value (" + option->value_name + ")");
      value = args[++i];
    }
    parsed.options_.emplace_back(name, value);
  }
  const size_t count = parsed.positional_.size();
  if (count < command.min_positional || count > command.max_positional) {
    throw UsageError(std::string("expected: melvox ") + command.name + " " + command.synopsis);
  }
  return parsed;
}

int Main(int argc, char** argv) {
  int status;
  try {
    status = Dispatch(std::vector<std::string>(argv + 1, argv + argc));
  } catch (...) {
    std::fprintf(stderr, "Unexpected error\n");
    status = 1;
  }
  return CheckStandardOutput(status);
}

}  // namespace melvox::cli
