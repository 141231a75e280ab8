// A program the integration tests run (an example host, a compositor), its standard output read line
// by line; it is ended by its PID when the object goes.
#pragma once

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace melvox::testing {

class Child {
 public:
  // Runs argv[0] (found in PATH when it has no slash) with argv; environment entries "NAME=VALUE" are
  // set for it, a bare "NAME" is unset.
  explicit Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {}) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipe_fds[1], STDOUT_FILENO);
      close(pipe_fds[0]);
      for (const std::string& entry : environment) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos) {
          unsetenv(entry.c_str());
        } else {
          setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
        }
      }
      std::vector<char*> args;
      for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
    close(pipe_fds[1]);
    out_ = pipe_fds[0];
  }
  ~Child() {
    Stop(SIGKILL);
    if (out_ >= 0) close(out_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t Pid() const { return pid_; }
  // The next line that starts with prefix (others are skipped); empty after 10 s without one.
  std::string Line(const std::string& prefix) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      const size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        if (line.rfind(prefix, 0) == 0) return line;
        continue;
      }
      pollfd fd{out_, POLLIN, 0};
      if (poll(&fd, 1, 100) <= 0) continue;
      char chunk[256];
      const ssize_t got = read(out_, chunk, sizeof chunk);
      if (got <= 0) return "";
      buffer_.append(chunk, static_cast<size_t>(got));
    }
    return "";
  }
  // The exit status once the program ended within timeout_ms, else -1.
  int Status(int timeout_ms) {
    for (int waited = 0; waited <= timeout_ms; waited += 10) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      }
      usleep(10000);
    }
    return -1;
  }
  // Sends signal when the program still runs and waits for it to end (killing it after 5 s).
  void Stop(int signal) {
    if (pid_ <= 0 || Status(0) >= 0) return;
    kill(pid_, signal);
    if (Status(5000) < 0) {
      kill(pid_, SIGKILL);
      Status(5000);
    }
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

}  // namespace melvox::testing
