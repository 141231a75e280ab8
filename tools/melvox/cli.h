// The frame of the melvox command: subcommands that register themselves, option parsing, help text,
// and the exit status rules (0 success, 1 library error with its message, 2 usage error).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace melvox::cli {

// A command-line mistake: the text says what is wrong; the command exits with status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Option {
  const char* name;        // "--level"
  const char* value_name;  // "L", or nullptr for a flag
  const char* help;
};

struct Command;

class ParsedArgs {
 public:
  bool Has(const std::string& name) const;
  // The option's value, or fallback when it was not given.
  std::string Value(const std::string& name, const std::string& fallback) const;
  // An integer option within [min, max]; anything else is a UsageError that names the range.
  long IntValue(const std::string& name, long fallback, long min, long max) const;
  const std::vector<std::string>& Positional() const { return positional_; }

 private:
  friend ParsedArgs Parse(const Command&, const std::vector<std::string>&);
  std::vector<std::pair<std::string, std::string>> options_;
  std::vector<std::string> positional_;
};

struct Command {
  const char* name;
  const char* synopsis;  // the arguments after the name, for the usage line
  const char* summary;   // one line for `melvox help`
  const char* details;   // a paragraph for `melvox help NAME`
  std::vector<Option> options;
  size_t min_positional;
  size_t max_positional;
  int order;  // position in `melvox help`
  int (*run)(const ParsedArgs& args);
  bool shows_windows = false;  // message boxes as dialogs on the display, not lines on standard error
};

// Adds a command; used from a static initialiser in the command's own file.
bool RegisterCommand(Command command);

// Parses args against the command's options; "--" ends them (every argument after it is positional).
// UsageError for unknown options, missing values and a wrong number of positional arguments.
ParsedArgs Parse(const Command& command, const std::vector<std::string>& args);

// Runs the command line and returns the exit status: the library's errors (1) and usage errors (2) as
// above, any other exception "Unexpected error" (1); and when standard output could not be written,
// a line saying so on standard error and 1 instead of 0. "melvox --version" prints "melvox VERSION".
int Main(int argc, char** argv);

}  // namespace melvox::cli
