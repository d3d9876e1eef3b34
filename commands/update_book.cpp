#include "commands/update_book.h"

#include <array>
#include <cerrno>
#include <string>
#include <unordered_set>
#include <utility>

#include "app/files.h"
#include "app/program_dir.h"
#include "app/run_log.h"
#include "chapters/book_record.h"
#include "chapters/save_book.h"
#include "commands/commands.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;

constexpr std::array kBoxes = {Box::Address,   Box::ListBegin, Box::ListEnd,
                               Box::TextBegin, Box::TextEnd,   Box::SaveName};
constexpr std::array kOptions = {Option::NextPage, Option::CleanDubious,
                                 Option::KeepDubiousWithMarks, Option::Renumber, Option::AutoList};

// What the update borrows from the window, put back when it ends.
class WindowState {
 public:
  explicit WindowState(App& app)
      : m_app(app),
        m_autoText(app.state.autoText),
        m_lineMode(app.state.lineMode),
        m_downloadFolder(app.state.downloadFolder) {
    for (std::size_t i = 0; i < kBoxes.size(); ++i) m_boxes[i] = app.model.GetBox(kBoxes[i]);
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
      m_options[i] = app.model.IsOptionOn(kOptions[i]);
    }
  }
  ~WindowState() {
    WindowModel& model = m_app.model;
    for (std::size_t i = 0; i < kBoxes.size(); ++i) model.SetBox(kBoxes[i], m_boxes[i]);
    for (std::size_t i = 0; i < kOptions.size(); ++i) model.SetOption(kOptions[i], m_options[i]);
    m_app.state.autoText = m_autoText;
    m_app.state.lineMode = m_lineMode;
    m_app.state.downloadFolder = m_downloadFolder;
    m_app.saveOverride = {};
  }
  WindowState(const WindowState&) = delete;
  WindowState& operator=(const WindowState&) = delete;

 private:
  App& m_app;
  std::array<std::string, kBoxes.size()> m_boxes;
  std::array<bool, kOptions.size()> m_options{};
  bool m_autoText;
  int m_lineMode;
  std::string m_downloadFolder;
};

void Apply(App& app, const BookRecord& record) {
  WindowModel& model = app.model;
  model.SetBox(Box::Address, record.address);
  model.SetBox(Box::ListBegin, record.listBegin);
  model.SetBox(Box::ListEnd, record.listEnd);
  model.SetBox(Box::TextBegin, record.textBegin);
  model.SetBox(Box::TextEnd, record.textEnd);
  model.SetOption(Option::NextPage, record.nextPage);
  model.SetOption(Option::CleanDubious, record.cleanDubious);
  model.SetOption(Option::KeepDubiousWithMarks, record.keepDubiousWithMarks);
  model.SetOption(Option::Renumber, record.renumber);
  model.SetOption(Option::AutoList, record.autoList);
  app.state.autoText = record.autoText;
  app.state.lineMode = record.lineMode;
}

void Tell(App& app, const std::string& text) {
  AddLogEntry(app, text + "\r\n\r\n");
  app.shell.ShowMessage(text, Gbk<"更新已有书籍">(), MessageIcon::Information);
}

// The chapter run's save step: the old book followed by the new chapters,
// put in place of the old book in one rename, and only when every new
// chapter arrived.
bool AppendNewChapters(App& app, const fs::path& book, BookRecord record) {
  ChapterRunReport& report = app.lastRun;
  report.path = book;
  report.failed = FailedChapters(app);
  report.outcome = ChapterRunReport::Outcome::NotSaved;
  const std::string name = PathToGbk(book.filename());
  if (!report.failed.empty()) {
    Tell(app, Gbk<"有 ">() + std::to_string(report.failed.size()) +
                  Gbk<" 个新章节没有取到，书《">() + name + Gbk<"》保持原样，可稍后再更新。">());
    return false;
  }
  const FileBytes old = ReadFileBytes(book);
  std::string bytes = old.bytes;
  for (const ChapterEntry& e : app.chapters.Entries()) {
    bytes += e.title + "\r\n" + e.text + "\r\n";
    record.chapterUrls.push_back(e.url);
  }
  errno = 0;
  if (old.state != FileBytes::State::Read || !ReplaceFile(book, bytes)) {
    report.saveError = old.state == FileBytes::State::Read ? errno : old.error;
    Tell(app, Gbk<"无法更新书《">() + name + Gbk<"》（">() + ErrorText(report.saveError) +
                  Gbk<"），原书保持原样。">());
    return false;
  }
  report.outcome = ChapterRunReport::Outcome::Saved;
  app.savedBooks.push_back(book);
  if (!WriteBookRecord(book, record)) {
    AddLogEntry(app, Gbk<"无法写入更新记录：">() + PathToGbk(BookRecordPath(book)) + "\r\n\r\n");
  }
  return true;
}

}  // namespace

UpdateResult UpdateBook(App& app, const fs::path& bookPath) {
  UpdateResult result;
  if (app.state.busy) return result;
  // A bare file name still has a folder: the one the book is replaced in.
  std::error_code error;
  const fs::path book = fs::absolute(bookPath, error);
  if (error) return result;
  const std::optional<BookRecord> record = ReadBookRecord(book);
  if (!record) {
    result.outcome = UpdateResult::Outcome::NoRecord;
    app.shell.ShowMessage(Gbk<"没有找到这本书的更新记录（">() +
                              PathToGbk(BookRecordPath(book).filename()) +
                              Gbk<"），只有保存时留下记录的书才能更新。">(),
                          Gbk<"更新已有书籍">(), MessageIcon::Exclamation);
    return result;
  }
  WindowState saved(app);
  ResetMainWindow(app);
  Apply(app, *record);
  // The execute button twice, as for a new book: the contents, then the chapters.
  if (!ExecuteCommand(app)) {
    result.outcome = app.log.exitRequested ? UpdateResult::Outcome::Cancelled
                                           : UpdateResult::Outcome::NoContents;
    if (!app.log.exitRequested) ResetMainWindow(app);
    return result;
  }
  const std::string name = PathToGbk(book.filename());
  const std::unordered_set<std::string> known(record->chapterUrls.begin(),
                                              record->chapterUrls.end());
  std::vector<ChapterEntry> fresh;
  std::vector<int> numbers;  // of the new chapters in the whole contents, 1-based
  for (std::size_t i = 0; i < app.chapters.Size(); ++i) {
    if (known.count(app.chapters[i].url) != 0) continue;
    fresh.push_back(std::move(app.chapters[i]));
    numbers.push_back(static_cast<int>(i + 1));
  }
  if (fresh.empty()) {
    ResetMainWindow(app);
    result.outcome = UpdateResult::Outcome::NothingNew;
    Tell(app, Gbk<"书《">() + name + Gbk<"》没有新章节。">());
    return result;
  }
  app.chapters.Entries() = std::move(fresh);
  app.model.ListClear();
  for (const ChapterEntry& e : app.chapters.Entries()) app.model.ListAdd(e.title);
  app.model.SetBox(Box::SaveName, PathToGbk(book.stem()));
  app.state.downloadFolder = book.parent_path().string();
  app.saveOverride = [&book, &record](App& a) { return AppendNewChapters(a, book, *record); };
  const int count = static_cast<int>(app.chapters.Size());
  if (ExecuteCommand(app)) {
    result.outcome = UpdateResult::Outcome::Updated;
    result.added = count;
    Tell(app,
         Gbk<"书《">() + name + Gbk<"》已更新，新增 ">() + std::to_string(count) + Gbk<" 章。">());
    return result;
  }
  result.failed = app.lastRun.failed;
  for (FailedChapter& chapter : result.failed) chapter.number = numbers[chapter.number - 1];
  result.outcome = app.lastRun.outcome == ChapterRunReport::Outcome::Cancelled
                       ? UpdateResult::Outcome::Cancelled
                       : UpdateResult::Outcome::NotUpdated;
  // The texts kept for another press of the button are only the new
  // chapters: saved as a book of their own they would mislead.
  if (!app.log.exitRequested) ResetMainWindow(app);
  return result;
}

}  // namespace tarnlow
