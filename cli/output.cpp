#include "cli/output.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "text/codepage.h"

namespace tarnlow::cli {
namespace {

std::atomic<int> g_stdoutError{0};

void NoteStdoutError(int error) {
  int none = 0;
  g_stdoutError.compare_exchange_strong(none, error != 0 ? error : EIO);
}

}  // namespace

void Print(std::FILE* stream, std::string_view utf8) {
  errno = 0;
  const bool written = std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
  const bool flushed = std::fflush(stream) == 0;
  if (stream == stdout && (!written || !flushed || std::ferror(stream))) NoteStdoutError(errno);
}

void PrintGbk(std::FILE* stream, const std::string& gbk) { Print(stream, GbkToUtf8(gbk)); }

int StandardOutputError() { return g_stdoutError.load(); }

void GuardStandardStreams() {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
    if (fd == STDOUT_FILENO) NoteStdoutError(EBADF);
  }
}

}  // namespace tarnlow::cli
