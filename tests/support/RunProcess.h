#pragma once
// Runs a program with arguments, its output and error output caught in
// files, and kills it when it takes longer than allowed.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace tavro::check {

struct ProcessResult {
  int ExitCode = -1;  // -1 when it did not exit by itself
  int Signal = 0;     // the signal that ended it, if any
  bool TimedOut = false;
  double Seconds = 0;     // wall-clock time
  double CpuSeconds = 0;  // user and system time of the program: what it cost,
                          // whatever else the machine was doing
  long PeakKiB = 0;       // the program's peak resident memory
  std::string Out, Err;
};

inline ProcessResult RunProcess(const std::vector<std::string>& argv, double timeoutSeconds,
                                const std::string& stdinPath = "/dev/null") {
  TempDir dir;
  const std::string outPath = dir / "stdout", errPath = dir / "stderr";
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open(stdinPath.c_str(), O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  ProcessResult result;
  int status = 0;
  struct rusage usage {};
  while (true) {
    const pid_t done = wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) break;
    result.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (done < 0 || result.Seconds > timeoutSeconds) {
      result.TimedOut = true;
      kill(pid, SIGKILL);
      wait4(pid, &status, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  result.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.CpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  result.PeakKiB = usage.ru_maxrss;
  if (WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
  result.Out = ReadWholeFile(outPath);
  result.Err = ReadWholeFile(errPath);
  return result;
}

}  // namespace tavro::check
