#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/support.h"

namespace tarnlow {
namespace {

using test::Gbk;
using test::TempDir;

TEST(SettingsFile, MissingFileGivesDefaultsAndFirstWriteCreatesSection) {
  TempDir dir;
  Settings settings(dir.Path());
  EXPECT_EQ(settings.Read(keys::ListTagEnd), "</div>");
  EXPECT_EQ(settings.Read(keys::FontName), Gbk("微软雅黑"));
  EXPECT_EQ(settings.Read(keys::Keyword), Gbk("第"));
  EXPECT_EQ(settings.ReadInteger(keys::Delay), 1000);
  EXPECT_EQ(settings.ReadInteger(keys::Retry), 10);
  EXPECT_EQ(settings.ReadInteger(keys::Thread), 3);
  EXPECT_TRUE(settings.ReadFlag(keys::GetNextPage));
  EXPECT_FALSE(settings.ReadFlag(keys::MonitorClip));
  EXPECT_EQ(settings.Read("NoSuchKey", "fallback"), "fallback");
  EXPECT_FALSE(dir.Exists("config.ini")) << "reading must not create the file";

  ASSERT_TRUE(settings.Write(keys::AddNum, "1"));
  EXPECT_EQ(dir.Read("config.ini"), "[config]\r\nAddNum=1\r\n");
  EXPECT_TRUE(settings.ReadFlag(keys::AddNum));
}

TEST(SettingsFile, WriteKeepsOtherSectionsCommentsAndUnknownKeys) {
  TempDir dir;
  dir.Write("config.ini",
            "; kept comment\r\n[other]\r\nDelay=5\r\n\r\n[Config]\r\nfoo=bar\r\n"
            "; inner comment\r\nDELAY=200\r\n\r\n[tail]\r\nx=1\r\n");
  Settings settings(dir.Path());
  ASSERT_TRUE(settings.Write(keys::Delay, "300"));
  ASSERT_TRUE(settings.Write(keys::Retry, "4"));
  EXPECT_EQ(dir.Read("config.ini"),
            "; kept comment\r\n[other]\r\nDelay=5\r\n\r\n[Config]\r\nfoo=bar\r\n"
            "; inner comment\r\nDelay=300\r\nRetry=4\r\n\r\n[tail]\r\nx=1\r\n");
  EXPECT_EQ(settings.Read("foo", ""), "bar");
  EXPECT_EQ(settings.ReadInteger(keys::Delay), 300);
}

TEST(SettingsFile, KeysAndSectionsIgnoreLetterCaseAndSpacesAreTrimmed) {
  TempDir dir;
  dir.Write("config.ini", "[ CONFIG ]\r\n  delay =  250  \r\nwebsite=  http://a.b/c  \r\n");
  Settings settings(dir.Path());
  EXPECT_EQ(settings.ReadInteger(keys::Delay), 250);
  EXPECT_EQ(settings.Read(keys::Website), "http://a.b/c");
  EXPECT_EQ(settings.Read("WEBSITE", ""), "http://a.b/c");
}

TEST(SettingsFile, LineFeedOnlyFileIsReadAndWrittenBackWithCrLf) {
  TempDir dir;
  dir.Write("config.ini", "[config]\nThread=7\nRetry=2\n");
  Settings settings(dir.Path());
  EXPECT_EQ(settings.ReadInteger(keys::Thread), 7);
  EXPECT_EQ(settings.ReadInteger(keys::Retry), 2);
  ASSERT_TRUE(settings.Write(keys::Thread, "8"));
  EXPECT_EQ(dir.Read("config.ini"), "[config]\r\nThread=8\r\nRetry=2\r\n");
}

TEST(SettingsFile, DuplicatedSectionAndKeyUseTheFirst) {
  TempDir dir;
  dir.Write("config.ini", "[config]\r\nRetry=1\r\nRetry=9\r\n[config]\r\nRetry=2\r\n");
  Settings settings(dir.Path());
  EXPECT_EQ(settings.ReadInteger(keys::Retry), 1);
  ASSERT_TRUE(settings.Write(keys::Retry, "3"));
  EXPECT_EQ(dir.Read("config.ini"), "[config]\r\nRetry=3\r\nRetry=9\r\n[config]\r\nRetry=2\r\n");
}

TEST(SettingsFile, PresentEmptyValueIsNotTheDefault) {
  TempDir dir;
  Settings settings(dir.Path());
  ASSERT_TRUE(settings.Write(keys::TextEnd, ""));
  EXPECT_EQ(settings.Read(keys::TextEnd), "");
  EXPECT_EQ(settings.Read(keys::ListTagEnd), "</div>");
}

TEST(SettingsFile, LongValuesAreCutExceptTheBatchList) {
  TempDir dir;
  Settings settings(dir.Path());
  const std::string longText(20000, 'a');
  ASSERT_TRUE(settings.Write(keys::Website, longText));
  EXPECT_EQ(settings.Read(keys::Website), std::string(10239, 'a'));

  std::string webs;
  while (webs.size() < 30000)
    webs += "http://example.com/book/" + std::to_string(webs.size()) + "||";
  ASSERT_TRUE(settings.Write(keys::Webs, webs));
  EXPECT_EQ(settings.Read(keys::Webs), webs);
  EXPECT_EQ(settings.Read("WEBS", ""), webs);

  // 10239 is odd: a cut there would split the last Chinese character.
  std::string chinese;
  for (int i = 0; i < 6000; ++i) chinese += Gbk("中");
  ASSERT_TRUE(settings.Write(keys::TextBegin, chinese));
  EXPECT_EQ(settings.Read(keys::TextBegin), chinese.substr(0, 10238));
}

TEST(SettingsFile, IntegerClampsAndConversion) {
  TempDir dir;
  Settings settings(dir.Path());
  struct Case {
    const SettingKey& key;
    std::string value;
    long long expected;
  };
  const Case cases[] = {
      {keys::Delay, "50", 100},
      {keys::Delay, "100000", 99999},
      {keys::Delay, "x", 100},
      {keys::Delay, "2500ms", 2500},
      {keys::Delay, Gbk("１５０"), 150},
      {keys::Thread, "0", 1},
      {keys::Thread, "250", 99},
      {keys::Thread, "x", 1},
      {keys::Retry, "-3", 0},
      {keys::Retry, "x", 0},
      {keys::LogRefresh, "50", 100},
      {keys::LogRefresh, "5000", 5000},
      {keys::AuthorBookName, "7", 7},
      {keys::LineMode, "-2", -2},
      {keys::FontSize, "30", 30},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(settings.Write(c.key, c.value));
    EXPECT_EQ(settings.ReadInteger(c.key), c.expected) << c.key.name << "=" << c.value;
  }
}

TEST(SettingsFile, FlagIsOnOnlyForOne) {
  TempDir dir;
  Settings settings(dir.Path());
  EXPECT_TRUE(settings.ReadFlag(keys::GetNextPage));
  for (const char* off : {"yes", "0", "", "2", "on"}) {
    ASSERT_TRUE(settings.Write(keys::GetNextPage, off));
    EXPECT_FALSE(settings.ReadFlag(keys::GetNextPage)) << off;
  }
  ASSERT_TRUE(settings.Write(keys::GetNextPage, "1"));
  EXPECT_TRUE(settings.ReadFlag(keys::GetNextPage));
}

TEST(SettingsFile, WriteReplacesTheFileWholeAndLeavesNoTemporaryFile) {
  TempDir dir;
  Settings settings(dir.Path());
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(settings.Write(keys::Retry, std::to_string(i)));
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    EXPECT_EQ(entry.path().filename(), "config.ini");
    ++files;
  }
  EXPECT_EQ(files, 1);
  EXPECT_EQ(settings.ReadInteger(keys::Retry), 19);
}

TEST(SettingsFile, RefusedWritesLeaveTheFileAlone) {
  TempDir dir;
  Settings settings(dir.Path());
  ASSERT_TRUE(settings.Write(keys::Website, "http://a/"));
  const std::string before = dir.Read("config.ini");
  // A line break would smuggle a second key or section into the file.
  EXPECT_FALSE(settings.Write(keys::Website, "x\r\n[config]\r\nDelay=1"));
  EXPECT_FALSE(settings.Write(keys::Website, "x\ny"));
  EXPECT_FALSE(settings.Write("bad=key", "1"));
  EXPECT_FALSE(settings.Write("", "1"));
  EXPECT_EQ(dir.Read("config.ini"), before);

  Settings nowhere(dir.Path() / "missing-folder");
  EXPECT_FALSE(nowhere.Write(keys::Retry, "1"));
  EXPECT_EQ(nowhere.ReadInteger(keys::Retry), 10);
}

}  // namespace
}  // namespace tarnlow
