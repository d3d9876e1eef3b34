// A download folder the user may not write to, and a disk that fills up in
// the middle of the book. The folder is refused before any chapter is
// fetched; a save that fails reports it, no half book is left, the fetched
// texts stay, and the next press saves the whole book without fetching a
// chapter again.
//
// Root is stopped by neither permissions nor quotas, so each fault is set up
// for the span of one scope: an unprivileged effective user, or a file-size
// limit. Both stay inside this process; forking a process that runs server
// threads can leave the child waiting forever on a lock some thread held.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "app/program_dir.h"
#include "app/run_log.h"
#include "commands/batch.h"
#include "commands/commands.h"
#include "tests/faults/book_fixture.h"
#include "text/codepage.h"

namespace tarnlow::faults {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
// Room for a small book and the log file, not for a book of forty chapters.
constexpr rlim_t kLimit = 1024;

bool RunningAsRoot() { return geteuid() == 0; }

// Acts as an unprivileged user until the end of the scope. Only the
// effective ids change, so the saved root id takes them back afterwards.
// A test not run as root is unprivileged already and changes nothing.
class AsNobody {
 public:
  AsNobody() : active_(RunningAsRoot()) {
    if (active_) changed_ = setegid(kNobody) == 0 && seteuid(kNobody) == 0;
  }
  ~AsNobody() {
    if (!active_) return;
    if (seteuid(0) != 0 || setegid(0) != 0) std::abort();  // later tests would run unprivileged
  }
  AsNobody(const AsNobody&) = delete;
  AsNobody& operator=(const AsNobody&) = delete;
  bool Ok() const { return !active_ || changed_; }

 private:
  bool active_;
  bool changed_ = false;
};

// Limits the size of any file this process writes until the end of the
// scope; SIGXFSZ is ignored so that a write beyond it fails instead of
// killing the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    ok_ = getrlimit(RLIMIT_FSIZE, &saved_) == 0;
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ok_ = ok_ && setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    if (ok_) setrlimit(RLIMIT_FSIZE, &saved_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool Ok() const { return ok_; }

 private:
  rlimit saved_{};
  bool ok_ = false;
};

const std::string& SaveFailedText() {
  static const std::string text =
      Gbk("文件打开失败！\r\n\r\n请检查文件夹是否有权限或文件名是否异常！");
  return text;
}

class DiskFaults : public BookFixture {
 protected:
  // After a failed save: one message, every text still there, no file, and
  // the window ready for another press.
  void ExpectFailedSaveKeptTheTexts(int count) {
    const auto messages = shell.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, SaveFailedText());
    EXPECT_EQ(messages[0].title, Gbk("提示"));
    ASSERT_EQ(app.chapters.Size(), static_cast<std::size_t>(count));
    for (int n = 1; n <= count; ++n) {
      EXPECT_EQ(app.chapters.Text(static_cast<std::size_t>(n - 1)), ChapterText(n)) << n;
    }
    EXPECT_FALSE(app.state.busy);
    EXPECT_EQ(model.ExecuteCaption(), CaptionChapters());
    EXPECT_TRUE(model.ExecuteEnabled());
  }
};

TEST_F(DiskFaults, UnwritableFolderIsRefusedBeforeAnyChapterAndAnotherOneTakesTheBook) {
  const fs::perms readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec;
  fs::permissions(dir.Path(), readOnly | fs::perms::owner_write);
  fs::permissions(folder, readOnly);
  const fs::path other = dir.Path() / "Other";
  fs::create_directory(other);
  if (RunningAsRoot()) {
    ASSERT_EQ(chown(other.c_str(), kNobody, kNobody), 0);
  }
  AddChapters(6);
  ReadyForChapters();

  {
    AsNobody nobody;
    ASSERT_TRUE(nobody.Ok());
    EXPECT_FALSE(ExecuteCommand(app));
    const auto messages = shell.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(
        messages[0].text.rfind(Gbk("下载文件夹无法写入（没有权限）：") + PathToGbk(folder), 0), 0u)
        << GbkToUtf8(messages[0].text);
    EXPECT_EQ(messages[0].title, Gbk("提示"));
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(Requests(n), 0) << n;
    EXPECT_EQ(app.chapters.Size(), 6u);
    EXPECT_FALSE(app.state.busy);
    EXPECT_EQ(model.ExecuteCaption(), CaptionChapters());
    EXPECT_TRUE(model.ExecuteEnabled());
    EXPECT_TRUE(FolderEntries().empty());

    // The user picks another folder and presses again.
    app.state.downloadFolder = other.string();
    EXPECT_TRUE(ExecuteCommand(app));
    EXPECT_TRUE(GbkToUtf8(app.log.Text()).find("】已保存！文件《测试书》") != std::string::npos);
  }
  EXPECT_TRUE(FolderEntries().empty());
  EXPECT_EQ(test::ReadFile(other / "测试书.txt"), ExpectedBook(6, {}));
  for (int n = 1; n <= 6; ++n) EXPECT_EQ(Requests(n), 1) << n;
}

TEST_F(DiskFaults, FullDiskLeavesNoHalfBookAndTheNextPressSavesItWhole) {
  AddChapters(40);
  ReadyForChapters();
  ASSERT_GT(ExpectedBook(40, {}).size(), 2 * kLimit);

  {
    FileSizeLimit full(kLimit);
    ASSERT_TRUE(full.Ok());
    EXPECT_FALSE(ExecuteCommand(app));
    ExpectFailedSaveKeptTheTexts(40);
    EXPECT_TRUE(FolderEntries().empty());
  }
  // Space again: the same press writes the book from the texts in hand.
  EXPECT_TRUE(ExecuteCommand(app));
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"测试书.txt"});
  EXPECT_EQ(Book(), ExpectedBook(40, {}));
  for (int n = 1; n <= 40; ++n) EXPECT_EQ(Requests(n), 1) << n;
}

// In a batch nobody answers a message box: the failed save is logged, no half
// book is left, and the next task still runs.
TEST_F(DiskFaults, FullDiskInABatchIsLoggedAndTheNextTaskRuns) {
  const auto contents = [](const std::string& bookUtf8, int count) {
    std::string links;
    for (int n = 1; n <= count; ++n) {
      links += "<a href=\"/book/" + std::to_string(n) + ".html\">" + Title(n) + "</a>";
    }
    return Gbk("<html><head><meta property=\"og:novel:book_name\" content=\"" + bookUtf8 +
               "\"/></head><body><div id=\"list\">") +
           links + "</div></body></html>";
  };
  server.Serve("/big/", contents("大书", 40));
  server.Serve("/small/", contents("小书", 2));
  model.SetBox(Box::SaveName, "");
  AcceptBatchList(app, server.Url("/big/") + "\r\n" + server.Url("/small/"), true);

  {
    FileSizeLimit full(kLimit);
    ASSERT_TRUE(full.Ok());
    RunBatchTasks(app);
    EXPECT_TRUE(shell.Messages().empty());
    const std::string log = GbkToUtf8(app.log.Text());
    EXPECT_NE(log.find("】批处理：保存失败！文件《大书》，链接：" + server.Url("/big/")),
              std::string::npos);
    EXPECT_NE(log.find("】已保存！文件《小书》"), std::string::npos);
  }
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"小书.txt"});
  EXPECT_EQ(test::ReadFile(folder / "小书.txt"), ExpectedBook(2, {}));
}

}  // namespace
}  // namespace tarnlow::faults
