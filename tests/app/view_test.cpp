#include "app/headless_view.h"

#include <gtest/gtest.h>

#include <string>

#include "app/app.h"
#include "app/program_dir.h"
#include "app/run_log.h"
#include "tests/support/support.h"

namespace tarnlow {
namespace {

using test::Gbk;
using test::TempDir;

TEST(HeadlessView, StartsIdle) {
  HeadlessView view;
  EXPECT_EQ(view.ExecuteCaption(), Gbk("取目录列表"));
  EXPECT_TRUE(view.ExecuteEnabled());
  EXPECT_FALSE(view.CancelEnabled());
  EXPECT_TRUE(view.BoxEnabled(Box::Address));
  EXPECT_TRUE(view.BoxEnabled(Box::SaveName));
  EXPECT_FALSE(view.IsOptionOn(Option::NextPage));
  EXPECT_EQ(view.ListFirstSelected(), -1);
}

TEST(HeadlessView, SaveNameDropsFileNameCharactersButNotTrailBytes) {
  HeadlessView view;
  view.SetBox(Box::SaveName, "a/b\\c:d*e?f\"g<h>i|j");
  EXPECT_EQ(view.GetBox(Box::SaveName), "abcdefghij");

  // Two characters whose second byte is "\" and "|".
  const std::string backslashTrail = Gbk("臷");
  const std::string barTrail = Gbk("峾");
  ASSERT_EQ(backslashTrail.size(), 2u);
  ASSERT_EQ(backslashTrail[1], '\\');
  ASSERT_EQ(barTrail[1], '|');
  view.SetBox(Box::SaveName, backslashTrail + "/" + barTrail + "|" + Gbk("书名?"));
  EXPECT_EQ(view.GetBox(Box::SaveName), backslashTrail + barTrail + Gbk("书名"));

  // Other boxes take the text as it is.
  view.SetBox(Box::Address, "http://a.b/c?d=1|2");
  EXPECT_EQ(view.GetBox(Box::Address), "http://a.b/c?d=1|2");
}

TEST(HeadlessView, ListKeepsSelectionWhenItemTextChanges) {
  HeadlessView view;
  for (const char* title : {"one", "two", "three"}) view.ListAdd(title);
  view.ListSelect(2, true);
  view.ListSelect(1, true);
  view.ListSetItemText(1, "TWO");
  view.ListSetItemText(7, "ignored");
  view.ListSelect(-1, true);
  EXPECT_EQ(view.ListItems(), (std::vector<std::string>{"one", "TWO", "three"}));
  EXPECT_EQ(view.SelectedItems(), (std::vector<int>{1, 2}));
  EXPECT_EQ(view.ListFirstSelected(), 1);
  EXPECT_EQ(view.ListItemText(3), "");
  view.ListSetTopItem(2);
  EXPECT_EQ(view.TopItem(), 2);
  view.ListClear();
  EXPECT_EQ(view.ListCount(), 0);
  EXPECT_EQ(view.ListFirstSelected(), -1);
}

TEST(HeadlessView, HooksRunOutsideTheLockAndSeeTheRecord) {
  HeadlessView view;
  std::string seenStatus;
  int seenMessages = 0;
  view.SetStatusHook([&](const std::string& text) { seenStatus = view.Status() + "|" + text; });
  view.SetMessageHook(
      [&](const MessageRecord&) { seenMessages = static_cast<int>(view.Messages().size()); });
  // A hook pressing cancel mid-command calls back into the view.
  view.SetPumpHook([&] { view.EnableCancel(false); });

  view.SetStatus("working", true);
  view.ShowMessage("text", "title", MessageIcon::Exclamation);
  view.EnableCancel(true);
  view.PumpEvents();

  EXPECT_EQ(seenStatus, "working|working");
  EXPECT_EQ(seenMessages, 1);
  EXPECT_FALSE(view.CancelEnabled());
  EXPECT_EQ(view.PumpCount(), 1);
  ASSERT_EQ(view.StatusHistory().size(), 1u);
  EXPECT_TRUE(view.StatusHistory()[0].caretToEnd);
  ASSERT_EQ(view.Messages().size(), 1u);
  EXPECT_EQ(view.Messages()[0].icon, MessageIcon::Exclamation);
}

TEST(MainWindowState, ResetReturnsToIdle) {
  TempDir dir;
  HeadlessView view;
  App app(view, dir.Path());
  view.SetBox(Box::Address, "http://a/");
  view.SetBox(Box::SaveName, Gbk("书"));
  view.SetAddressLabel("http://a/1.html");
  for (Box box :
       {Box::Address, Box::ListBegin, Box::ListEnd, Box::TextBegin, Box::TextEnd, Box::SaveName})
    view.EnableBox(box, false);
  view.SetExecuteCaption(CaptionChapters());
  view.EnableExecute(false);
  view.EnableCancel(true);
  view.EnableBatchMenu(false);
  view.ListAdd("c1");
  app.chapters.Append({"c1", "http://a/1.html", "text"});
  app.state.dubiousCleaned = true;
  app.state.numberingFormatted = true;
  view.SetOption(Option::MonitorClip, true);

  ResetMainWindow(app);

  EXPECT_EQ(view.GetBox(Box::SaveName), "");
  EXPECT_EQ(view.GetBox(Box::Address), "http://a/") << "the address is kept";
  EXPECT_EQ(view.AddressLabel(), "");
  EXPECT_EQ(view.Status(), IdleHelpText());
  EXPECT_EQ(view.ListCount(), 0);
  EXPECT_TRUE(app.chapters.Empty());
  for (Box box :
       {Box::Address, Box::ListBegin, Box::ListEnd, Box::TextBegin, Box::TextEnd, Box::SaveName})
    EXPECT_TRUE(view.BoxEnabled(box));
  EXPECT_EQ(view.ExecuteCaption(), Gbk("取目录列表"));
  EXPECT_TRUE(view.ExecuteEnabled());
  EXPECT_FALSE(view.CancelEnabled());
  EXPECT_TRUE(view.BatchMenuEnabled());
  EXPECT_FALSE(app.state.dubiousCleaned);
  EXPECT_FALSE(app.state.numberingFormatted);
  EXPECT_EQ(view.Title(), "Tarnlow  2.08.03");
  EXPECT_EQ(view.ClipboardTimer(), 500);
  EXPECT_EQ(view.PumpCount(), 1);
  EXPECT_FALSE(dir.Exists("config.ini")) << "the reset writes no setting";
}

TEST(MainWindowState, ResetLeavesTheWatcherAloneWhenItIsOff) {
  TempDir dir;
  HeadlessView view;
  App app(view, dir.Path());
  ResetMainWindow(app);
  EXPECT_EQ(view.ClipboardTimer(), 0);
}

TEST(StartupSettings, DefaultsWithoutAFile) {
  TempDir dir;
  HeadlessView view;
  App app(view, dir.Path());
  ApplyStartupSettings(app);
  EXPECT_TRUE(view.IsOptionOn(Option::NextPage));
  EXPECT_TRUE(view.IsOptionOn(Option::AutoList));
  EXPECT_FALSE(view.IsOptionOn(Option::MonitorClip));
  EXPECT_EQ(view.ClipboardTimer(), 0);
  EXPECT_EQ(app.state.delayMs, 1000);
  EXPECT_EQ(view.GetBox(Box::DelayMs), "1000");
  EXPECT_EQ(app.state.retryCount, 10);
  EXPECT_EQ(view.GetBox(Box::Retry), "10");
  EXPECT_EQ(app.state.threadCount, 3);
  EXPECT_EQ(view.GetBox(Box::ListEnd), "</div>");
  EXPECT_EQ(view.GetBox(Box::TextEnd), "</div>");
  EXPECT_EQ(view.GetBox(Box::Address), "");
  EXPECT_EQ(app.log.uiFont.name, Gbk("微软雅黑"));
  EXPECT_EQ(app.log.uiFont.size, 9);
  EXPECT_EQ(app.state.downloadFolder, (dir.Path() / "Download").string());
  EXPECT_FALSE(dir.Exists("config.ini"));
}

TEST(StartupSettings, ValuesAreClampedAndOptionsChecked) {
  TempDir dir;
  const std::string folder = Gbk("小说下载");
  std::filesystem::create_directory(dir.Path() / GbkToPath(folder));
  const std::string downloadSetting = PathToGbk(dir.Path()) + "/" + folder;
  dir.Write("config.ini",
            "[config]\r\nOffCleanDubiousList=1\r\nAddNum=1\r\nMonitorClip=1\r\n"
            "GetNextPage=yes\r\nOnTop=1\r\nDelay=50\r\nRetry=-3\r\nThread=250\r\n"
            "Author&book_name=7\r\nLineMode=2\r\nWebsite=http://a.b/\r\n"
            "ListTagBegin=<ul>\r\nTextEnd=<p>\r\nFontSize=12\r\nAutoList=0\r\nDownload=" +
                downloadSetting + "\r\n");
  HeadlessView view;
  App app(view, dir.Path());
  ApplyStartupSettings(app);
  EXPECT_TRUE(view.IsOptionOn(Option::KeepDubiousWithMarks));
  EXPECT_FALSE(view.IsOptionOn(Option::CleanDubious));
  EXPECT_TRUE(view.IsOptionOn(Option::Renumber));
  EXPECT_TRUE(view.IsOptionOn(Option::MonitorClip));
  EXPECT_FALSE(view.IsOptionOn(Option::NextPage));
  EXPECT_TRUE(view.IsOptionOn(Option::OnTop));
  EXPECT_FALSE(view.IsOptionOn(Option::AutoList));
  EXPECT_EQ(view.ClipboardTimer(), 500);
  EXPECT_EQ(app.state.delayMs, 100);
  EXPECT_EQ(view.GetBox(Box::DelayMs), "100");
  EXPECT_EQ(app.state.retryCount, 0);
  EXPECT_EQ(view.GetBox(Box::Retry), "0");
  EXPECT_EQ(app.state.threadCount, 99);
  EXPECT_EQ(app.state.fileNameFormat, 7);
  EXPECT_EQ(app.state.lineMode, 2);
  EXPECT_EQ(view.GetBox(Box::Address), "http://a.b/");
  EXPECT_EQ(view.GetBox(Box::ListBegin), "<ul>");
  EXPECT_EQ(view.GetBox(Box::ListEnd), "</div>");
  EXPECT_EQ(view.GetBox(Box::TextEnd), "<p>");
  EXPECT_EQ(app.log.uiFont.size, 12);
  EXPECT_EQ(std::filesystem::path(app.state.downloadFolder), dir.Path() / GbkToPath(folder));
}

TEST(StartupSettings, MissingDownloadFolderFallsBackToProgramDownload) {
  TempDir dir;
  dir.Write("config.ini", "[config]\r\nDownload=/no/such/folder\r\nThread=0\r\n");
  HeadlessView view;
  App app(view, dir.Path());
  ApplyStartupSettings(app);
  EXPECT_EQ(app.state.downloadFolder, (dir.Path() / "Download").string());
  EXPECT_EQ(app.state.threadCount, 1);
}

TEST(ProgramDirectory, HomeOverridesTheExecutableFolderAndNamesRoundTrip) {
  EXPECT_EQ(ProgramDir("/some/home"), std::filesystem::path("/some/home"));
  EXPECT_EQ(ProgramDir(), ExecutableDir());
  EXPECT_TRUE(std::filesystem::exists(ExecutableDir() / "app_test"));
  const std::string name = Gbk("第一卷/书名");
  EXPECT_EQ(GbkToPath(name).string(), "第一卷/书名");
  EXPECT_EQ(PathToGbk(GbkToPath(name)), name);
}

}  // namespace
}  // namespace tarnlow
