#pragma once
// Runs a built program of the project as a child process and collects what
// it printed.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/support.h"

extern char** environ;

namespace tarnlow::test {

struct ProgramRun {
  int status = -1;  // exit status, -1 when killed by a signal
  std::string out;
  std::string err;
};

// Where the child's standard output goes.
struct StandardOutput {
  enum class Kind { Captured, File, Closed };
  Kind kind = Kind::Captured;
  std::string path;  // File: opened for writing, e.g. "/dev/full"
};

// `whileRunning`, when given, is called with the child's pid after it starts.
inline ProgramRun RunProgram(const std::string& path, const std::vector<std::string>& args,
                             const std::function<void(pid_t)>& whileRunning = {},
                             const StandardOutput& output = {}) {
  TempDir folder;
  const std::string outPath = (folder.Path() / "out").string();
  const std::string errPath = (folder.Path() / "err").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output.kind == StandardOutput::Kind::Closed) {
    posix_spawn_file_actions_addclose(&actions, 1);
  } else {
    const std::string& target = output.kind == StandardOutput::Kind::File ? output.path : outPath;
    posix_spawn_file_actions_addopen(&actions, 1, target.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
  }
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<std::string> all = {path};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);

  ProgramRun run;
  pid_t pid = 0;
  if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    if (whileRunning) whileRunning(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = ReadFile(outPath).value_or("");
  run.err = ReadFile(errPath).value_or("");
  return run;
}

inline ProgramRun RunProgram(const std::vector<std::string>& args) {
  return RunProgram(TARNLOW_CLI_PATH, args);
}

}  // namespace tarnlow::test
