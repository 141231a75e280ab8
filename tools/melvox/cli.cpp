#include "cli.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
      "\nExit status: 0 on success, 1 when the library reports an error (its message on standard\n"
      "error), 2 for a usage error.\n");
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

bool WantsHelp(const std::vector<std::string>& args) {
  return std::find(args.begin(), args.end(), "--help") != args.end() ||
         std::find(args.begin(), args.end(), "-h") != args.end();
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
    if (arg.size() < 2 || arg[0] != '-' || arg == "--") {
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
  std::vector<std::string> args(argv + 1, argv + argc);
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
    std::fprintf(stderr, "%s\n", error.GetMessage() != nullptr ? error.GetMessage() : "Unexpected error");
    return 1;
  } catch (const CMsgException& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "Out of memory\n");
    return 1;
  }
}

}  // namespace melvox::cli
