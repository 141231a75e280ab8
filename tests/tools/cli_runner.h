// Runs the built melvox command and captures what it prints, for the command-line tests.
#pragma once

#include <string>
#include <vector>

namespace melvox::testing {

struct CliResult {
  int status;       // exit status
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs melvox with the given arguments (no shell involved) and waits for it.
CliResult RunCli(const std::vector<std::string>& args);

// The same, but once its standard output holds `wait_for` (waiting at most 10 s) sends it SIGINT, as
// Ctrl-C would.
CliResult RunCliInterrupted(const std::vector<std::string>& args, const std::string& wait_for);

}  // namespace melvox::testing
