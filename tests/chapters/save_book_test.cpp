// Saving the book: names, suffixes, content, and failures that must not
// count as saved.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "app/app.h"
#include "chapters/save_book.h"
#include "tests/support/support.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;
using test::Gbk;

class SaveBookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = dir.Path() / "Download";
    fs::create_directory(folder);
    app.state.downloadFolder = folder.string();
    model.SetBox(Box::Address, "http://www.book.com/b/1/");
  }
  fs::path Book(const std::string& utf8Name) { return folder / (utf8Name + ".txt"); }

  test::TempDir dir;
  fs::path folder;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app{model, shell, dir.Path()};
};

TEST_F(SaveBookTest, WritesTitlesAndTextsInListOrder) {
  model.SetBox(Box::SaveName, Gbk("某书"));
  app.chapters.Append({Gbk("第一章"), "u1", Gbk("甲\r\n")});
  app.chapters.Append({Gbk("第二章"), "u2", ""});
  app.chapters.Append({Gbk("第三章"), "u3", Gbk("丙\r\n")});
  ASSERT_TRUE(SaveChapterList(app));
  EXPECT_EQ(test::ReadFile(Book("某书")),
            Gbk("第一章\r\n甲\r\n\r\n第二章\r\n\r\n第三章\r\n丙\r\n\r\n"));
  EXPECT_EQ(app.savedBooks.back(), Book("某书"));
  const std::string log = GbkToUtf8(app.log.Text());
  EXPECT_EQ(log.find("【"), 0u);
  EXPECT_NE(log.find("】已保存！文件《某书》\r\n\r\n"), std::string::npos);
}

TEST_F(SaveBookTest, EmptyNameBecomesUnnamedAndNeverOverwrites) {
  ASSERT_TRUE(SaveChapterList(app));
  EXPECT_EQ(GbkToUtf8(model.GetBox(Box::SaveName)), "未命名");
  EXPECT_TRUE(fs::exists(Book("未命名")));
  EXPECT_EQ(test::ReadFile(Book("未命名")), "");  // an empty list still saves

  model.SetBox(Box::SaveName, "");
  ASSERT_TRUE(SaveChapterList(app));
  EXPECT_TRUE(fs::exists(Book("未命名_1")));
}

TEST_F(SaveBookTest, SuffixesTakeTheFirstFreeNumber) {
  model.SetBox(Box::SaveName, "b");
  for (const char* taken : {"b.txt", "b_1.txt", "b_3.txt"})
    dir.Write(fs::path("Download") / taken, "old");
  fs::create_directory(folder / "b_2.txt");  // a folder of that name counts as taken
  ASSERT_TRUE(SaveChapterList(app));
  EXPECT_TRUE(fs::exists(folder / "b_4.txt"));
  EXPECT_EQ(test::ReadFile(folder / "b.txt"), "old");
  EXPECT_EQ(test::ReadFile(folder / "b_3.txt"), "old");
}

TEST_F(SaveBookTest, NeverWritesThroughALinkThatStandsInTheWay) {
  model.SetBox(Box::SaveName, "b");
  const fs::path victim = dir.Path() / "victim";
  fs::create_symlink(victim, folder / "b.txt");
  ASSERT_TRUE(SaveChapterList(app));
  EXPECT_FALSE(fs::exists(victim));
  EXPECT_TRUE(fs::exists(folder / "b_1.txt"));
}

TEST_F(SaveBookTest, MissingFolderAsksOrLogsAndKeepsTheTexts) {
  app.state.downloadFolder = (dir.Path() / "missing").string();
  model.SetBox(Box::SaveName, Gbk("某书"));
  app.chapters.Append({"t", "u", "x\r\n"});
  EXPECT_FALSE(SaveChapterList(app));
  ASSERT_EQ(shell.Messages().size(), 1u);
  EXPECT_EQ(shell.Messages()[0].text,
            Gbk("文件打开失败！\r\n\r\n请检查文件夹是否有权限或文件名是否异常！"));
  EXPECT_EQ(shell.Messages()[0].title, Gbk("提示"));
  EXPECT_EQ(app.chapters[0].text, "x\r\n");
  EXPECT_TRUE(app.log.Text().empty());

  app.state.batchMode = true;
  EXPECT_FALSE(SaveChapterList(app));
  EXPECT_EQ(shell.Messages().size(), 1u);
  EXPECT_NE(GbkToUtf8(app.log.Text())
                .find("】批处理：保存失败！文件《某书》，链接：http://www.book.com/b/1/\r\n\r\n"),
            std::string::npos);
}

// A disk that fills up in the middle of the book: the save fails, no half
// file is left, and the texts stay for another try. Run in a child process,
// which can lower its own file-size limit.
TEST_F(SaveBookTest, AFailedWriteIsNotASave) {
  model.SetBox(Box::SaveName, "big");
  for (int i = 0; i < 100; ++i) app.chapters.Append({"t", "u", std::string(1000, 'x')});
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{10000, 10000};
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool saved = SaveChapterList(app);
    // The write that failed is named by its errno.
    const SaveResult direct = SaveBook(folder, "big", app.chapters.Entries());
    const bool ok = !saved && !fs::exists(folder / "big.txt") && shell.Messages().size() == 1 &&
                    app.chapters[99].text.size() == 1000 && app.log.Text().empty() &&
                    !direct.saved && direct.error == EFBIG;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(fs::exists(folder / "big.txt"));
}

TEST(SaveBookResult, SavedPathOrTheErrnoOfTheFailure) {
  test::TempDir dir;
  const SaveResult saved = SaveBook(dir.Path(), "b", {{"t", "u", "x\r\n"}});
  EXPECT_TRUE(saved.saved);
  EXPECT_EQ(saved.path, dir.Path() / "b.txt");
  EXPECT_EQ(saved.error, 0);
  const SaveResult missing = SaveBook(dir.Path() / "missing", "b", {});
  EXPECT_FALSE(missing.saved);
  EXPECT_EQ(missing.error, ENOENT);
}

TEST(FreeBookPath, ChineseNamesBecomeUtf8FileNames) {
  test::TempDir dir;
  EXPECT_EQ(FreeBookPath(dir.Path(), Gbk("斗破苍穹")), dir.Path() / "斗破苍穹.txt");
}

}  // namespace
}  // namespace tarnlow
