#include "app/run_log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>

#include "app/shell.h"
#include "app/window_model.h"
#include "tests/support/support.h"

namespace tarnlow {
namespace {

using test::Gbk;
using test::TempDir;

std::string Entry(const std::string& stamp, const std::string& message) {
  return Gbk("【") + stamp + Gbk("】") + message;
}

TEST(RunLog, TimeStampIsTwoDigitHoursMinutesSeconds) {
  EXPECT_TRUE(std::regex_match(TimeStamp(), std::regex("([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]")))
      << TimeStamp();
}

TEST(RunLog, EntriesAreNewestFirst) {
  RunLog log;
  log.SetText(Gbk("旧记录\r\n"));
  // Each stamp is read from its entry ("【" is two bytes): a second that ends
  // between reading the clock here and adding the entry cannot mislead.
  log.AddEntry(Gbk("第一条\r\n\r\n"));
  const std::string first = log.Text().substr(2, 8);
  // Wait for the clock to move on so the two entries carry different stamps.
  for (int i = 0; i < 300 && TimeStamp() == first; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_NE(TimeStamp(), first);
  log.AddEntry(Gbk("第二条\r\n\r\n"));
  const std::string second = log.Text().substr(2, 8);
  EXPECT_NE(first, second);
  EXPECT_EQ(log.Text(), Entry(second, Gbk("第二条\r\n\r\n")) + Entry(first, Gbk("第一条\r\n\r\n")) +
                            Gbk("旧记录\r\n"));

  // A lead goes before the stamp: the line of a failed chapter.
  const std::string before = log.Text();
  log.AddEntry("raw", "\r\n");
  const std::string stamped = log.Text().substr(2, log.Text().size() - 2 - before.size());
  EXPECT_EQ(log.Text(), "\r\n" + stamped + before);
  EXPECT_EQ(stamped, Entry(stamped.substr(2, 8), "raw"));
  log.Clear();
  EXPECT_EQ(log.Text(), "");
  log.AddEntry("x");
  EXPECT_EQ(log.Text().size(), Entry("00:00:00", "x").size());
}

TEST(RunLog, UiFontStartsAsSongTypeface) {
  RunLog log;
  EXPECT_EQ(log.uiFont.name, Gbk("宋体"));
  EXPECT_EQ(log.uiFont.size, 9);
  EXPECT_EQ(log.uiFont.angle, 0);
  EXPECT_FALSE(log.uiFont.bold || log.uiFont.italic || log.uiFont.underline ||
               log.uiFont.strikeOut);
}

TEST(RunLogFile, LoadStopsAtZeroByteAndMissingFileEmptiesTheLog) {
  TempDir dir;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app(model, shell, dir.Path());
  app.log.SetText("stale");
  LoadLogFile(app);
  EXPECT_EQ(app.log.Text(), "");

  dir.Write("log.log", std::string("ab\r\ncd\0ef", 9));
  LoadLogFile(app);
  EXPECT_EQ(app.log.Text(), "ab\r\ncd");
}

TEST(RunLogFile, SaveReplacesTheFileWithTheLogBytes) {
  TempDir dir;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app(model, shell, dir.Path());
  dir.Write("log.log", std::string(100, 'x'));
  AddLogEntry(app, Gbk("保存成功\r\n\r\n"));
  SaveLogFile(app);
  EXPECT_EQ(dir.Read("log.log"), app.log.Text());

  ClearLog(app);
  SaveLogFile(app);
  EXPECT_TRUE(dir.Exists("log.log"));
  EXPECT_EQ(dir.Read("log.log"), "");

  // A folder that cannot take the file: nothing happens, nothing throws.
  App lost(model, shell, dir.Path() / "missing");
  lost.log.SetText("x");
  SaveLogFile(lost);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing"));
}

}  // namespace
}  // namespace tarnlow
