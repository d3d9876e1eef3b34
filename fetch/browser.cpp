#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <thread>

#include "fetch/http_client.h"

extern char** environ;

namespace tarnlow {

// The opener runs in a session of its own so it outlives this process and is
// not hit by its terminal's signals; a detached thread reaps it whenever it
// ends (some openers wait for the browser).
bool OpenInBrowser(std::string_view url) {
  if (url.empty()) return false;
  const std::string address(url);
  char program[] = "xdg-open";
  char* argv[] = {program, const_cast<char*>(address.c_str()), nullptr};

  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return false;
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t opener = 0;
  const int rc = posix_spawnp(&opener, program, nullptr, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) return false;

  try {
    std::thread([opener] {
      int status = 0;
      while (waitpid(opener, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // Started all the same; without a reaper it stays a zombie until exit.
  }
  return true;
}

}  // namespace tarnlow
