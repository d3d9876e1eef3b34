#include "chapters/save_book.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "app/app.h"
#include "app/files.h"
#include "app/program_dir.h"
#include "app/run_log.h"
#include "chapters/book_record.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

constexpr std::string_view kExtension = ".txt";
// Room kept behind a save name for a "_i" suffix up to "_9999", so that the
// name in the box is the name of the file whichever suffix it gets.
constexpr std::size_t kSuffixRoom = 5;

bool Exists(const std::filesystem::path& path) {
  std::error_code error;
  // Any directory entry counts, a folder or a dangling link included.
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

std::filesystem::path Candidate(const std::filesystem::path& folder, const std::string& saveName,
                                int suffix) {
  const std::string tail =
      (suffix == 0 ? std::string() : "_" + std::to_string(suffix)) + std::string(kExtension);
  return folder / GbkToPath(FitSaveName(saveName, folder, tail.size()) + tail);
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

// Writes the whole book to `fd` and closes it; a book not written whole is
// removed again.
SaveResult FinishBookFile(int fd, const std::filesystem::path& path,
                          const std::vector<ChapterEntry>& chapters) {
  SaveResult result;
  result.path = path;
  const bool written = WriteBook(chapters, fd);
  if (!written) result.error = errno;
  const bool closed = ::close(fd) == 0;
  if (written && !closed) result.error = errno;
  result.saved = written && closed;
  if (!result.saved) {
    std::error_code error;
    std::filesystem::remove(path, error);
  }
  return result;
}

std::size_t NameMax(const std::filesystem::path& folder) {
  const long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return max > 0 ? static_cast<std::size_t>(max) : NAME_MAX;
}

std::size_t Utf8Length(char16_t unit) { return unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3; }

}  // namespace

std::vector<FailedChapter> FailedChapters(const App& app) {
  std::vector<FailedChapter> failed;
  for (const std::size_t i : app.chapters.Failed()) {
    if (i < app.chapters.Size()) failed.push_back({static_cast<int>(i + 1), app.chapters[i].title});
  }
  return failed;
}

std::string FitSaveName(std::string_view saveName, const std::filesystem::path& folder,
                        std::size_t tailBytes) {
  // No GBK trail byte is below 0x40 or 0x7F, so control bytes can go one by
  // one without splitting a character.
  std::string name;
  for (const char c : saveName) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) name += c;
  }
  const std::size_t max = NameMax(folder);
  const std::size_t room = max > tailBytes ? max - tailBytes : 0;
  std::vector<int> offsets;
  const std::u16string units = GbkToUtf16(name, offsets);
  std::size_t written = 0;
  for (std::size_t i = 0; i < units.size(); ++i) {
    written += Utf8Length(units[i]);
    if (written > room) return name.substr(0, static_cast<std::size_t>(offsets[i]));
  }
  return name;
}

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
  return FinishBookFile(fd, result.path, chapters);
}

std::filesystem::path SaveBookToTemporary(const std::filesystem::path& dir,
                                          const std::vector<ChapterEntry>& chapters) {
  std::string name = (dir / GbkToPath(Gbk<"未保存-XXXXXX.txt">())).string();
  const int fd = ::mkostemps(name.data(), static_cast<int>(kExtension.size()), O_CLOEXEC);
  if (fd < 0) return {};
  ::fchmod(fd, 0644);
  const SaveResult result = FinishBookFile(fd, name, chapters);
  return result.saved ? result.path : std::filesystem::path();
}

std::string SaveFolderProblem(const std::filesystem::path& folder) {
  const std::string name = PathToGbk(folder);
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return Gbk<"下载文件夹不存在：">() + name;
    return Gbk<"下载文件夹无法访问（">() + ErrorText(errno) + Gbk<"）：">() + name;
  }
  if (!S_ISDIR(info.st_mode)) return Gbk<"下载文件夹不是文件夹：">() + name;
  // Asked for this process's own ids, which is who will create the file.
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    return Gbk<"下载文件夹无法写入（">() + ErrorText(errno) + Gbk<"）：">() + name;
  }
  return {};
}

bool PrepareSave(App& app) {
  WindowModel& model = app.model;
  const std::string name = model.GetBox(Box::SaveName);
  const std::filesystem::path folder = app.state.downloadFolder;
  const std::string fitted = FitSaveName(name, folder, kSuffixRoom + kExtension.size());
  if (fitted != name) model.SetBox(Box::SaveName, fitted);

  const std::string problem = SaveFolderProblem(folder);
  if (problem.empty()) return true;
  if (app.state.batchMode) {
    AddLogEntry(app, Gbk<"批处理：保存失败！">() + problem + Gbk<"，链接：">() +
                         model.GetBox(Box::Address) + "\r\n\r\n");
  } else {
    app.shell.ShowMessage(problem + Gbk<"\r\n\r\n章节尚未下载，请检查后重试！">(), Gbk<"提示">(),
                          MessageIcon::Information);
  }
  return false;
}

bool SaveChapterList(App& app) {
  WindowModel& model = app.model;
  if (model.GetBox(Box::SaveName).empty()) model.SetBox(Box::SaveName, Gbk<"未命名">());
  const std::string name = model.GetBox(Box::SaveName);

  ChapterRunReport& report = app.lastRun;
  report.failed = FailedChapters(app);
  const SaveResult result = SaveBook(app.state.downloadFolder, name, app.chapters.Entries());
  report.path = result.path;
  report.saveError = result.error;
  if (result.saved) {
    report.outcome = ChapterRunReport::Outcome::Saved;
    app.savedBooks.push_back(result.path);
    AddLogEntry(app, Gbk<"已保存！文件《">() + name + Gbk<"》\r\n\r\n">());
    // The record that lets the book be brought up to date later; the book
    // itself is whole without it.
    if (app.state.resume && !WriteBookRecord(result.path, CurrentBookRecord(app))) {
      AddLogEntry(
          app, Gbk<"无法写入更新记录：">() + PathToGbk(BookRecordPath(result.path)) + "\r\n\r\n");
    }
    return true;
  }
  report.outcome = ChapterRunReport::Outcome::NotSaved;
  if (app.state.batchMode) {
    AddLogEntry(app, Gbk<"批处理：保存失败！文件《">() + name + Gbk<"》，链接：">() +
                         model.GetBox(Box::Address) + "\r\n\r\n");
  } else {
    app.shell.ShowMessage(Gbk<"文件打开失败！\r\n\r\n请检查文件夹是否有权限或文件名是否异常！">(),
                          Gbk<"提示">(), MessageIcon::Information);
  }
  if (app.rescueUnsavedBooks) {
    report.rescuedPath = SaveBookToTemporary(app.programDir, app.chapters.Entries());
    if (!report.rescuedPath.empty()) {
      AddLogEntry(app, Gbk<"书《">() + name + Gbk<"》已写入临时文件：">() +
                           PathToGbk(report.rescuedPath) + "\r\n\r\n");
    }
  }
  return false;
}

}  // namespace tarnlow
