#include "chapters/save_book.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "app/app.h"
#include "app/files.h"
#include "app/program_dir.h"
#include "app/run_log.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

bool Exists(const std::filesystem::path& path) {
  std::error_code error;
  // Any directory entry counts, a folder or a dangling link included.
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

std::filesystem::path Candidate(const std::filesystem::path& folder, const std::string& saveName,
                                int suffix) {
  std::filesystem::path name =
      GbkToPath(suffix == 0 ? saveName + ".txt" : saveName + "_" + std::to_string(suffix) + ".txt");
  return folder / name;
}

// Creates the file exclusively: a file that appears between the name test and
// the open is never written into; the next free name is taken instead.
int CreateBookFile(const std::filesystem::path& folder, const std::string& saveName,
                   std::filesystem::path& path) {
  path = FreeBookPath(folder, saveName);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
    path = FreeBookPath(folder, saveName);
  }
  return -1;
}

bool WriteBook(const std::vector<ChapterEntry>& chapters, int fd) {
  std::string chunk;
  constexpr std::size_t kChunk = 1 << 20;
  for (const ChapterEntry& e : chapters) {
    chunk += e.title;
    chunk += "\r\n";
    chunk += e.text;
    chunk += "\r\n";
    if (chunk.size() >= kChunk) {
      if (!WriteAll(fd, chunk)) return false;
      chunk.clear();
    }
  }
  return WriteAll(fd, chunk);
}

}  // namespace

std::filesystem::path FreeBookPath(const std::filesystem::path& folder,
                                   const std::string& saveName) {
  if (!Exists(Candidate(folder, saveName, 0))) return Candidate(folder, saveName, 0);
  int i = 1;
  while (Exists(Candidate(folder, saveName, i))) ++i;
  return Candidate(folder, saveName, i);
}

SaveResult SaveBook(const std::filesystem::path& folder, const std::string& saveName,
                    const std::vector<ChapterEntry>& chapters) {
  SaveResult result;
  const int fd = CreateBookFile(folder, saveName, result.path);
  if (fd < 0) {
    result.error = errno;
    return result;
  }
  // A book that could not be written whole is not a saved book: the partial
  // file goes, and the fetched texts stay for another try.
  const bool written = WriteBook(chapters, fd);
  if (!written) result.error = errno;
  const bool closed = ::close(fd) == 0;
  if (written && !closed) result.error = errno;
  result.saved = written && closed;
  if (!result.saved) {
    std::error_code error;
    std::filesystem::remove(result.path, error);
  }
  return result;
}

bool SaveChapterList(App& app) {
  WindowModel& model = app.model;
  if (model.GetBox(Box::SaveName).empty()) model.SetBox(Box::SaveName, Gbk<"未命名">());
  const std::string name = model.GetBox(Box::SaveName);

  const SaveResult result = SaveBook(app.state.downloadFolder, name, app.chapters.Entries());
  if (result.saved) {
    app.savedBooks.push_back(result.path);
    AddLogEntry(app, Gbk<"已保存！文件《">() + name + Gbk<"》\r\n\r\n">());
    return true;
  }
  if (app.state.batchMode) {
    AddLogEntry(app, Gbk<"批处理：保存失败！文件《">() + name + Gbk<"》，链接：">() +
                         model.GetBox(Box::Address) + "\r\n\r\n");
  } else {
    app.shell.ShowMessage(Gbk<"文件打开失败！\r\n\r\n请检查文件夹是否有权限或文件名是否异常！">(),
                          Gbk<"提示">(), MessageIcon::Information);
  }
  return false;
}

}  // namespace tarnlow
