// The zelsim program as a child process for the end-to-end tests of zelctl.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace zel::e2e {

// zelsim run with `args`; its link lines are read from its standard output
// up to "ready". SIGTERM and a wait end it.
class ZelsimProcess {
 public:
  explicit ZelsimProcess(const std::vector<std::string>& args) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      const int quiet = ::open("/dev/null", O_WRONLY);
      ::dup2(quiet, STDERR_FILENO);  // its notes for people
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv = {const_cast<char*>(ZELSIM_PATH)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(ZELSIM_PATH, argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    std::FILE* f = ::fdopen(out[0], "r");
    char line[256];
    while (f && std::fgets(line, sizeof line, f)) {
      std::string l(line);
      if (!l.empty() && l.back() == '\n') l.pop_back();
      if (l == "ready") break;
      if (l.rfind("udp-port ", 0) == 0) udp_port = l.substr(9);
      if (l.rfind("pty ", 0) == 0) pty = l.substr(4);
    }
    if (f) std::fclose(f);
  }
  ~ZelsimProcess() { Stop(); }
  ZelsimProcess(const ZelsimProcess&) = delete;
  ZelsimProcess& operator=(const ZelsimProcess&) = delete;

  int Stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string udp_port, pty;

 private:
  pid_t pid_ = -1;
};

}  // namespace zel::e2e
