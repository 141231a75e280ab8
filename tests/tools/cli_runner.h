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

// Runs melvox with the given arguments (no shell involved) and waits for it. With `interrupt_after`, once
// its standard output holds that text (waiting at most 10 s), sends it SIGINT, as Ctrl-C would.
CliResult RunCli(const std::vector<std::string>& args, const std::string& interrupt_after = "");

}  // namespace melvox::testing
