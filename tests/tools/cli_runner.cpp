#include "cli_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace melvox::testing {
namespace {

std::string Slurp(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& args, const CliRun& how) {
  TempDir folder;
  const std::string out_path = how.stdout_path.empty() ? folder.File("out") : how.stdout_path;
  const std::string err_path = folder.File("err");
  std::vector<std::string> argv = {MELVOX_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (how.tmpdir.empty() || std::string(*entry).rfind("TMPDIR=", 0) != 0) environment.emplace_back(*entry);
  }
  if (!how.tmpdir.empty()) environment.push_back("TMPDIR=" + how.tmpdir);
  std::vector<char*> variables;
  for (std::string& entry : environment) variables.push_back(entry.data());
  variables.push_back(nullptr);
  const int spawned = posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), variables.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);
  if (!how.interrupt_after.empty()) {
    for (int waited_ms = 0; waited_ms < 10000; waited_ms += 5) {
      if (Slurp(out_path).find(how.interrupt_after) != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, how.signal);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, how.stdout_path.empty() ? Slurp(out_path) : "",
          Slurp(err_path)};
}

}  // namespace melvox::testing
