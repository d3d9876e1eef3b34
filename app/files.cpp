#include "app/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "text/codepage.h"

namespace tarnlow {

FileBytes ReadFileBytes(const std::filesystem::path& path) {
  FileBytes file;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    file.state = errno == ENOENT ? FileBytes::State::Missing : FileBytes::State::Failed;
    file.error = errno;
    return file;
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      // A folder opens like a file and fails here, with EISDIR.
      file.state = FileBytes::State::Failed;
      file.error = errno;
      file.bytes.clear();
      ::close(fd);
      return file;
    }
    if (n == 0) break;
    file.bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  file.state = FileBytes::State::Read;
  return file;
}

std::string ReadTextFile(const std::filesystem::path& path) {
  std::string bytes = ReadFileBytes(path).bytes;
  if (const std::size_t zero = bytes.find('\0'); zero != std::string::npos) bytes.resize(zero);
  return bytes;
}

std::string ErrorText(int error) {
  switch (error) {
    case EISDIR:
      return Gbk<"是一个文件夹">();
    case EACCES:
    case EPERM:
      return Gbk<"没有权限">();
    case ENOENT:
      return Gbk<"不存在">();
    case ENOTDIR:
      return Gbk<"路径中有一项不是文件夹">();
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return Gbk<"磁盘空间不足">();
    case EROFS:
      return Gbk<"只读的文件系统">();
    case ENAMETOOLONG:
      return Gbk<"名称过长">();
    case EBADF:
      return Gbk<"已关闭">();
    default:
      return Gbk<"错误代码 ">() + std::to_string(error);
  }
}

std::string UnreadableFileNotice(std::string_view fileName, int error) {
  return Gbk<"无法读取 ">() + std::string(fileName) + Gbk<"（">() + ErrorText(error) +
         Gbk<"），按文件不存在处理。">();
}

bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes) {
  std::string tempName = path.string() + ".XXXXXX";
  int fd = ::mkostemp(tempName.data(), O_CLOEXEC);
  if (fd < 0) return false;
  struct stat old {};
  mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(tempName.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(tempName.c_str());
    return false;
  }
  // Make the rename itself durable; a failure here loses nothing already written.
  int dir = ::open(path.parent_path().empty() ? "." : path.parent_path().c_str(),
                   O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace tarnlow
