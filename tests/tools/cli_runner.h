// Runs the built melvox command and captures what it prints, for the command-line tests.
#pragma once

#include <csignal>
#include <string>
#include <utility>
#include <vector>

namespace melvox::testing {

struct CliResult {
  int status;       // exit status
  std::string out;  // standard output
  std::string err;  // standard error
};

// How RunCli runs melvox, beyond its arguments: once standard output holds `interrupt_after` (waiting
// at most 10 s), melvox is sent `signal` (SIGINT: as Ctrl-C would); standard output goes to
// `stdout_path` instead of into the result; melvox's TMPDIR is `tmpdir` instead of this process's.
struct CliRun {
  CliRun(std::string interrupt, int sent = SIGINT, std::string out = "", std::string temp = "")
      : interrupt_after(std::move(interrupt)), signal(sent), stdout_path(std::move(out)), tmpdir(std::move(temp)) {}
  CliRun() : CliRun("") {}
  std::string interrupt_after;
  int signal;
  std::string stdout_path, tmpdir;
};

// Runs melvox with the given arguments (no shell involved) and waits for it.
CliResult RunCli(const std::vector<std::string>& args, const CliRun& how = {});

}  // namespace melvox::testing
