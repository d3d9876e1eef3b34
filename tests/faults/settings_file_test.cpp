// Hostile config.ini files: binary junk, megabyte values, sections and keys
// given twice. Start-up still works and clamps, reads stay sane, and a write
// keeps every other key and line.

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/run_log.h"
#include "app/settings.h"
#include "chapters/clean_rules.h"
#include "commands/batch.h"
#include "tests/support/support.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;
using test::Gbk;

// CR LF lines, byte by byte: a junk byte before a CR is no lead byte here.
std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at = bytes.find("\r\n"); at != std::string::npos;
       at = bytes.find("\r\n", from)) {
    lines.push_back(bytes.substr(from, at - from));
    from = at + 2;
  }
  if (from < bytes.size()) lines.push_back(bytes.substr(from));
  return lines;
}

// Whether `all` holds every line of `part` in the same order.
bool KeepsInOrder(const std::vector<std::string>& all, const std::vector<std::string>& part) {
  std::size_t at = 0;
  for (const std::string& line : all) {
    if (at < part.size() && line == part[at]) ++at;
  }
  return at == part.size();
}

class HostileSettings : public ::testing::Test {
 protected:
  void WriteConfig(const std::string& bytes) { dir.Write("config.ini", bytes); }
  std::string Config() const {
    return test::ReadFile(dir.Path() / "config.ini").value_or("<none>");
  }
  // Random bytes with every kind of byte a text file should not hold, cut
  // into CR LF lines so that each line survives a rewrite as it is.
  std::string Junk(std::size_t lines) {
    std::string junk;
    for (std::size_t i = 0; i < lines; ++i) {
      for (int b = 0; b < 80; ++b) {
        char c = static_cast<char>(random() & 0xFF);
        if (c == '\r' || c == '\n') c = '\0';
        junk += c;
      }
      junk += "\r\n";
    }
    return junk;
  }

  std::mt19937 random{424242};
  test::TempDir dir;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app{model, shell, dir.Path()};
};

TEST_F(HostileSettings, BinaryJunkAroundTheKeys) {
  const std::string before = Junk(50) + "[config]\r\nThread=500\r\nDelay=5\r\nRetry=-3\r\n" +
                             "GetNextPage=0\r\nAddNum=1\r\nListTagEnd=</ul>\r\nDownload=" +
                             std::string("\x01\xff\0/\xfe", 5) + "\r\n" + Junk(50) +
                             "[other]\r\nkeep=1\r\n" + Junk(50);
  WriteConfig(before);

  ApplyStartupSettings(app);
  EXPECT_EQ(app.state.threadCount, 99);
  EXPECT_EQ(app.state.delayMs, 100);
  EXPECT_EQ(app.state.retryCount, 0);
  EXPECT_EQ(model.GetBox(Box::DelayMs), "100");
  EXPECT_EQ(model.GetBox(Box::Retry), "0");
  EXPECT_FALSE(model.IsOptionOn(Option::NextPage));
  EXPECT_TRUE(model.IsOptionOn(Option::Renumber));
  EXPECT_EQ(model.GetBox(Box::ListEnd), "</ul>");
  EXPECT_EQ(model.GetBox(Box::TextEnd), "</div>");
  EXPECT_EQ(app.state.downloadFolder, (dir.Path() / "Download").string());

  // A new key adds one line and loses none.
  ASSERT_TRUE(app.settings.Write(keys::TextBegin, "<div id=\"content\">"));
  const auto after = Lines(Config());
  EXPECT_EQ(after.size(), Lines(before).size() + 1);
  EXPECT_TRUE(KeepsInOrder(after, Lines(before)));
  // A known key changes in place.
  ASSERT_TRUE(app.settings.Write(keys::Retry, "7"));
  EXPECT_EQ(Lines(Config()).size(), after.size());
  EXPECT_EQ(app.settings.Read(keys::Retry), "7");
  EXPECT_EQ(app.settings.Read(keys::TextBegin), "<div id=\"content\">");
  EXPECT_EQ(app.settings.Read(keys::Thread), "500");
  EXPECT_EQ(app.settings.Read(keys::ListTagEnd), "</ul>");
  EXPECT_EQ(app.settings.Read("keep", "missing"), "missing");  // another section's key
}

TEST_F(HostileSettings, JunkWithoutAnySectionGivesTheDefaults) {
  const std::string before = Junk(200);
  WriteConfig(before);
  ApplyStartupSettings(app);
  EXPECT_EQ(app.state.threadCount, 3);
  EXPECT_EQ(app.state.delayMs, 1000);
  EXPECT_EQ(app.state.retryCount, 10);
  EXPECT_TRUE(model.IsOptionOn(Option::NextPage));

  ASSERT_TRUE(app.settings.Write(keys::Delay, "250"));
  EXPECT_EQ(app.settings.ReadInteger(keys::Delay), 250);
  EXPECT_TRUE(KeepsInOrder(Lines(Config()), Lines(before)));
}

TEST_F(HostileSettings, MegabyteValues) {
  const std::string huge(1 << 20, 'w');
  const std::string digits(1 << 20, '9');
  std::string wide;
  while (wide.size() < (1u << 20)) wide += Gbk("目");
  std::string tasks;
  int taskCount = 0;
  while (tasks.size() < (1u << 20)) {
    tasks += "http://www.book.com/b" + std::to_string(++taskCount) + "/||";
  }
  WriteConfig("[config]\r\nWebsite=" + huge + "\r\nThread=" + digits + "\r\nDelay=-" + digits +
              "\r\nRetry=+" + digits + "\r\nListTagBegin=" + wide + "\r\nWebs=" + tasks +
              "\r\nFontSize=" + digits + "\r\n");

  ApplyStartupSettings(app);
  EXPECT_EQ(app.state.threadCount, 99);
  EXPECT_EQ(app.state.delayMs, 100);
  EXPECT_EQ(app.state.retryCount, 99999);
  EXPECT_EQ(app.log.uiFont.size, INT_MAX);
  // Values are read up to 10239 bytes, never ending inside a character.
  EXPECT_EQ(model.GetBox(Box::Address), huge.substr(0, 10239));
  EXPECT_EQ(model.GetBox(Box::ListBegin), wide.substr(0, 10238));
  // The batch list is read whole: a cut would drop stored tasks.
  EXPECT_EQ(app.settings.Read(keys::Webs), tasks);
  model.SetBox(Box::Address, "");
  EXPECT_EQ(Split(BatchDialogText(app), "\r\n").size(), static_cast<std::size_t>(taskCount));

  ASSERT_TRUE(app.settings.Write(keys::TextEnd, "</p>"));
  EXPECT_EQ(app.settings.Read(keys::Webs), tasks);
  EXPECT_EQ(app.settings.Read(keys::Website), huge.substr(0, 10239));
  EXPECT_EQ(app.settings.Read(keys::TextEnd), "</p>");
  ASSERT_TRUE(app.settings.Write(keys::Website, huge + "x"));
  EXPECT_EQ(app.settings.Read(keys::Website), huge.substr(0, 10239));
  EXPECT_EQ(app.settings.Read(keys::Thread).size(), 10239u);
}

TEST_F(HostileSettings, SectionAndKeyGivenTwice) {
  const std::string before =
      "[config]\r\nThread=5\r\nThread=8\r\n[other]\r\nThread=9\r\n"
      "[config]\r\nDelay=300\r\nRetry=4\r\n[CONFIG]\r\nAddNum=1\r\n";
  WriteConfig(before);

  // The first section and the first line of a key count, as they always do.
  ApplyStartupSettings(app);
  EXPECT_EQ(app.state.threadCount, 5);
  EXPECT_EQ(app.state.delayMs, 1000);
  EXPECT_EQ(app.state.retryCount, 10);
  EXPECT_FALSE(model.IsOptionOn(Option::Renumber));

  // What is written is what the next read sees; the other copies stay.
  ASSERT_TRUE(app.settings.Write(keys::Delay, "250"));
  ASSERT_TRUE(app.settings.Write(keys::Thread, "6"));
  EXPECT_EQ(app.settings.ReadInteger(keys::Delay), 250);
  EXPECT_EQ(app.settings.ReadInteger(keys::Thread), 6);
  const auto after = Lines(Config());
  EXPECT_TRUE(KeepsInOrder(after, {"Thread=8", "[other]", "Thread=9", "[config]", "Delay=300",
                                   "Retry=4", "[CONFIG]", "AddNum=1"}));
  EXPECT_EQ(after.size(), Lines(before).size() + 1);
}

// Folders where the program's own files belong: each counts as missing, is
// named once, and is left as it is.
TEST_F(HostileSettings, FoldersInPlaceOfTheFiles) {
  for (const char* name : {"config.ini", "cleantxt.list", "log.log"}) {
    fs::create_directory(dir.Path() / name);
  }
  app.rules.Replace({"old"});
  LoadLogFile(app);
  LoadCleanRules(app);
  ApplyStartupSettings(app);
  EXPECT_EQ(app.state.threadCount, 3);
  EXPECT_EQ(app.state.retryCount, 10);
  EXPECT_TRUE(app.rules.Snapshot()->empty());
  EXPECT_FALSE(app.settings.Write(keys::Retry, "1"));
  SaveLogFile(app);

  const std::string log = GbkToUtf8(app.log.Text());
  for (const char* name : {"config.ini", "cleantxt.list", "log.log"}) {
    const std::string notice =
        "无法读取 " + std::string(name) + "（是一个文件夹），按文件不存在处理。";
    const std::size_t first = log.find(notice);
    EXPECT_NE(first, std::string::npos) << name;
    EXPECT_EQ(log.find(notice, first + 1), std::string::npos) << name;
    EXPECT_TRUE(fs::is_directory(dir.Path() / name)) << name;
  }
  EXPECT_EQ(GbkToUtf8(model.Status()), "无法写入 log.log（是一个文件夹）。");
}

}  // namespace
}  // namespace tarnlow
