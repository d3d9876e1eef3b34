// The window model: box rules, list, hooks and the delivery of changes; the
// main window's reset and start-up through it.

#include "app/window_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/program_dir.h"
#include "app/run_log.h"
#include "tests/support/support.h"
#include "tests/support/wait.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

using namespace std::chrono_literals;
using test::Gbk;
using test::TempDir;

TEST(WindowModel, StartsIdle) {
  WindowModel model;
  EXPECT_EQ(model.ExecuteCaption(), Gbk("取目录列表"));
  EXPECT_TRUE(model.ExecuteEnabled());
  EXPECT_FALSE(model.CancelEnabled());
  EXPECT_TRUE(model.BoxEnabled(Box::Address));
  EXPECT_TRUE(model.BoxEnabled(Box::SaveName));
  EXPECT_FALSE(model.IsOptionOn(Option::NextPage));
  EXPECT_EQ(model.ListFirstSelected(), -1);
}

TEST(WindowModel, SaveNameDropsFileNameCharactersButNotTrailBytes) {
  WindowModel model;
  EXPECT_EQ(model.SetBox(Box::SaveName, "a/b\\c:d*e?f\"g<h>i|j"), "abcdefghij");
  EXPECT_EQ(model.GetBox(Box::SaveName), "abcdefghij");

  // Two characters whose second byte is "\" and "|".
  const std::string backslashTrail = Gbk("臷");
  const std::string barTrail = Gbk("峾");
  ASSERT_EQ(backslashTrail.size(), 2u);
  ASSERT_EQ(backslashTrail[1], '\\');
  ASSERT_EQ(barTrail[1], '|');
  model.SetBox(Box::SaveName, backslashTrail + "/" + barTrail + "|" + Gbk("书名?"));
  EXPECT_EQ(model.GetBox(Box::SaveName), backslashTrail + barTrail + Gbk("书名"));

  // Other boxes take the text as it is.
  model.SetBox(Box::Address, "http://a.b/c?d=1|2");
  EXPECT_EQ(model.GetBox(Box::Address), "http://a.b/c?d=1|2");
}

TEST(WindowModel, RetryAndMillisecondBoxRules) {
  struct Case {
    Box box;
    const char* typed;
    const char* kept;
  };
  const Case cases[] = {
      {Box::Retry, "0", "0"},     {Box::Retry, "-3", "0"},    {Box::Retry, "", "0"},
      {Box::Retry, "00", "0"},    {Box::Retry, "x", "0"},     {Box::Retry, "12", "12"},
      {Box::DelayMs, "", "1"},    {Box::DelayMs, "0", "1"},   {Box::DelayMs, "-5", "1"},
      {Box::DelayMs, "50", "50"}, {Box::Address, "-1", "-1"},
  };
  WindowModel model;
  for (const Case& c : cases) {
    EXPECT_EQ(model.SetBox(c.box, c.typed), c.kept) << c.typed;
    EXPECT_EQ(model.GetBox(c.box), c.kept) << c.typed;
  }
}

TEST(WindowModel, ListKeepsSelectionWhenItemTextChanges) {
  WindowModel model;
  for (const char* title : {"one", "two", "three"}) model.ListAdd(title);
  model.ListSelect(2, true);
  model.ListSelect(1, true);
  model.ListSetItemText(1, "TWO");
  model.ListSetItemText(7, "ignored");
  model.ListSelect(-1, true);
  EXPECT_EQ(model.ListItems(), (std::vector<std::string>{"one", "TWO", "three"}));
  EXPECT_EQ(model.SelectedItems(), (std::vector<int>{1, 2}));
  EXPECT_EQ(model.ListFirstSelected(), 1);
  EXPECT_EQ(model.ListItemText(3), "");
  model.ListSetTopItem(2);
  EXPECT_EQ(model.TopItem(), 2);
  model.ListClear();
  EXPECT_EQ(model.ListCount(), 0);
  EXPECT_EQ(model.ListFirstSelected(), -1);
}

TEST(WindowModel, HooksRunOutsideTheLockAndSeeTheRecord) {
  WindowModel model{Recording::On};
  RecordingShell shell;
  std::string seenStatus;
  int seenMessages = 0;
  model.SetStatusHook([&](const std::string& text) { seenStatus = model.Status() + "|" + text; });
  shell.SetMessageHook(
      [&](const MessageRecord&) { seenMessages = static_cast<int>(shell.Messages().size()); });
  // A box handler calls back into the model and sees the text the rule kept.
  std::string handled;
  model.SetBoxHandler([&](Box box, const std::string& text) {
    handled = model.GetBox(box) + "|" + text;
    model.EnableCancel(false);
  });

  model.SetStatus("working", true);
  shell.ShowMessage("text", "title", MessageIcon::Exclamation);
  model.EnableCancel(true);
  model.SetBox(Box::SaveName, "a?b");

  EXPECT_EQ(seenStatus, "working|working");
  EXPECT_EQ(seenMessages, 1);
  EXPECT_EQ(handled, "ab|ab");
  EXPECT_FALSE(model.CancelEnabled());
  ASSERT_EQ(model.StatusHistory().size(), 1u);
  EXPECT_TRUE(model.StatusHistory()[0].caretToEnd);
  ASSERT_EQ(shell.Messages().size(), 1u);
  EXPECT_EQ(shell.Messages()[0].icon, MessageIcon::Exclamation);
}

TEST(WindowModel, ProgressIsShownAsTheStatusUntilAnotherStatusComes) {
  WindowModel model{Recording::On};
  ChapterProgress progress;
  progress.total = 30;
  progress.queued = 20;
  progress.reading = 3;
  progress.done = 7;
  progress.failed = 2;
  model.ShowProgress(progress);
  EXPECT_EQ(model.Progress(), progress);
  EXPECT_EQ(GbkToUtf8(model.Status()),
            " 任务数量：1\r\n 当前任务：1\r\n 章节列表：30\r\n 剩余未读：20\r\n 正在读取：3\r\n"
            " 已读取数：7\r\n 读取失败：2   "
            "详情查看日志【帮助-日志】，每次执行将覆盖上一次日志记录，注意及时查看！");
  EXPECT_FALSE(model.StatusCaretToEnd());
  model.SetStatus("next", true);
  EXPECT_FALSE(model.Progress().has_value());
  EXPECT_EQ(model.StatusHistory().size(), 2u);
}

// What a window does: it re-reads what each delivery names. After the last
// delivery its copy must equal the model, however the changes were merged.
struct RenderedWindow {
  explicit RenderedWindow(WindowModel& model) : model(model) {}
  void Render(const ChangeSet& changes) {
    ++deliveries;
    if (changes.Has(Change::List)) items = model.ListSnapshot();
    if (changes.Has(Change::ListItems)) {
      EXPECT_TRUE(std::is_sorted(changes.items.begin(), changes.items.end()));
      for (int i : changes.items) {
        if (static_cast<std::size_t>(i) < items.size()) items[i] = model.ListItemAt(i);
      }
    }
    if (changes.Has(Change::Status)) status = model.Status();
    for (int b = 0; b < kBoxCount; ++b) {
      if (changes.HasBox(static_cast<Box>(b))) boxes[b] = model.GetBox(static_cast<Box>(b));
    }
    if (changes.Has(Change::Buttons)) caption = model.ExecuteCaption();
  }
  WindowModel& model;
  int deliveries = 0;
  std::vector<ListItem> items;
  std::string status;
  std::string boxes[kBoxCount];
  std::string caption;
};

TEST(WindowModel, SlowSubscriberGetsMergedChangesAndEndsUpWithTheLatestState) {
  WindowModel model;
  for (int i = 0; i < 50; ++i) model.ListAdd("item " + std::to_string(i));
  RenderedWindow window(model);
  // The first delivery is held until every change below is made: had a
  // change waited for the subscriber, the changes would never be made.
  const auto changesMade = std::make_shared<test::Gate>();
  const test::OpenOnExit release(*changesMade);
  std::atomic<bool> firstDeliveryBegan{false};
  std::atomic<bool> heldThroughTheChanges{false};
  model.Subscribe([&, changesMade](const ChangeSet& changes) {
    window.Render(changes);
    if (!firstDeliveryBegan.exchange(true)) heldThroughTheChanges = changesMade->Wait(60s);
    std::this_thread::sleep_for(20ms);
  });
  ASSERT_TRUE(test::WaitUntil([&] { return firstDeliveryBegan.load(); }));
  for (int round = 0; round < 20; ++round) {
    for (int i = round; i < 50; i += 7) {
      model.ListSetItemText(i, "round " + std::to_string(round));
      model.ListSelect(i, round % 2 == 0);
    }
    model.SetStatus("status " + std::to_string(round), false);
    model.SetBox(Box::SaveName, "name " + std::to_string(round));
  }
  model.SetExecuteCaption("last");
  changesMade->Open();
  ASSERT_TRUE(model.WaitForDeliveries(60s));
  EXPECT_TRUE(heldThroughTheChanges);
  EXPECT_LT(window.deliveries, 50);  // merged, not one delivery per change
  const std::vector<ListItem> items = model.ListSnapshot();
  ASSERT_EQ(window.items.size(), items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(window.items[i].text, items[i].text) << i;
    EXPECT_EQ(window.items[i].selected, items[i].selected) << i;
  }
  EXPECT_EQ(window.status, "status 19");
  EXPECT_EQ(window.boxes[static_cast<int>(Box::SaveName)], "name 19");
  EXPECT_EQ(window.caption, "last");
  model.Subscribe({});
}

TEST(MainWindowState, ResetReturnsToIdle) {
  TempDir dir;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app(model, shell, dir.Path());
  model.SetBox(Box::Address, "http://a/");
  model.SetBox(Box::SaveName, Gbk("书"));
  model.SetAddressLabel("http://a/1.html");
  for (Box box :
       {Box::Address, Box::ListBegin, Box::ListEnd, Box::TextBegin, Box::TextEnd, Box::SaveName})
    model.EnableBox(box, false);
  model.SetExecuteCaption(CaptionChapters());
  model.EnableExecute(false);
  model.EnableCancel(true);
  model.EnableBatchMenu(false);
  model.ListAdd("c1");
  app.chapters.Append({"c1", "http://a/1.html", "text"});
  app.state.dubiousCleaned = true;
  app.state.numberingFormatted = true;
  model.SetOption(Option::MonitorClip, true);

  ResetMainWindow(app);

  EXPECT_EQ(model.GetBox(Box::SaveName), "");
  EXPECT_EQ(model.GetBox(Box::Address), "http://a/") << "the address is kept";
  EXPECT_EQ(model.AddressLabel(), "");
  EXPECT_EQ(model.Status(), IdleHelpText());
  EXPECT_EQ(model.ListCount(), 0);
  EXPECT_TRUE(app.chapters.Empty());
  for (Box box :
       {Box::Address, Box::ListBegin, Box::ListEnd, Box::TextBegin, Box::TextEnd, Box::SaveName})
    EXPECT_TRUE(model.BoxEnabled(box));
  EXPECT_EQ(model.ExecuteCaption(), Gbk("取目录列表"));
  EXPECT_TRUE(model.ExecuteEnabled());
  EXPECT_FALSE(model.CancelEnabled());
  EXPECT_TRUE(model.BatchMenuEnabled());
  EXPECT_FALSE(app.state.dubiousCleaned);
  EXPECT_FALSE(app.state.numberingFormatted);
  EXPECT_EQ(model.Title(), "Tarnlow  2.08.03");
  EXPECT_EQ(model.ClipboardTimer(), 500);
  EXPECT_FALSE(dir.Exists("config.ini")) << "the reset writes no setting";
}

TEST(MainWindowState, ResetLeavesTheWatcherAloneWhenItIsOff) {
  TempDir dir;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app(model, shell, dir.Path());
  ResetMainWindow(app);
  EXPECT_EQ(model.ClipboardTimer(), 0);
}

TEST(StartupSettings, DefaultsWithoutAFile) {
  TempDir dir;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app(model, shell, dir.Path());
  ApplyStartupSettings(app);
  EXPECT_TRUE(model.IsOptionOn(Option::NextPage));
  EXPECT_TRUE(model.IsOptionOn(Option::AutoList));
  EXPECT_TRUE(model.IsOptionOn(Option::AutoText));
  EXPECT_TRUE(model.IsOptionOn(Option::HealthReport));
  EXPECT_FALSE(model.IsOptionOn(Option::MonitorClip));
  EXPECT_EQ(model.ClipboardTimer(), 0);
  EXPECT_EQ(app.state.delayMs, 1000);
  EXPECT_EQ(model.GetBox(Box::DelayMs), "1000");
  EXPECT_EQ(app.state.retryCount, 10);
  EXPECT_EQ(model.GetBox(Box::Retry), "10");
  EXPECT_EQ(app.state.threadCount, 3);
  EXPECT_EQ(model.GetBox(Box::ListEnd), "</div>");
  EXPECT_EQ(model.GetBox(Box::TextEnd), "</div>");
  EXPECT_EQ(model.GetBox(Box::Address), "");
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
  dir.Write(
      "config.ini",
      "[config]\r\nOffCleanDubiousList=1\r\nAddNum=1\r\nMonitorClip=1\r\n"
      "GetNextPage=yes\r\nOnTop=1\r\nDelay=50\r\nRetry=-3\r\nThread=250\r\n"
      "Author&book_name=7\r\nLineMode=2\r\nWebsite=http://a.b/\r\n"
      "ListTagBegin=<ul>\r\nTextEnd=<p>\r\nFontSize=12\r\nAutoList=0\r\nAutoText=0\r\nDownload=" +
          downloadSetting + "\r\n");
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app(model, shell, dir.Path());
  ApplyStartupSettings(app);
  EXPECT_TRUE(model.IsOptionOn(Option::KeepDubiousWithMarks));
  EXPECT_FALSE(model.IsOptionOn(Option::CleanDubious));
  EXPECT_TRUE(model.IsOptionOn(Option::Renumber));
  EXPECT_TRUE(model.IsOptionOn(Option::MonitorClip));
  EXPECT_FALSE(model.IsOptionOn(Option::NextPage));
  EXPECT_TRUE(model.IsOptionOn(Option::OnTop));
  EXPECT_FALSE(model.IsOptionOn(Option::AutoList));
  EXPECT_FALSE(model.IsOptionOn(Option::AutoText));
  EXPECT_TRUE(model.IsOptionOn(Option::HealthReport));
  EXPECT_EQ(model.ClipboardTimer(), 500);
  EXPECT_EQ(app.state.delayMs, 100);
  EXPECT_EQ(model.GetBox(Box::DelayMs), "100");
  EXPECT_EQ(app.state.retryCount, 0);
  EXPECT_EQ(model.GetBox(Box::Retry), "0");
  EXPECT_EQ(app.state.threadCount, 99);
  EXPECT_EQ(app.state.fileNameFormat, 7);
  EXPECT_EQ(app.state.lineMode, 2);
  EXPECT_EQ(model.GetBox(Box::Address), "http://a.b/");
  EXPECT_EQ(model.GetBox(Box::ListBegin), "<ul>");
  EXPECT_EQ(model.GetBox(Box::ListEnd), "</div>");
  EXPECT_EQ(model.GetBox(Box::TextEnd), "<p>");
  EXPECT_EQ(app.log.uiFont.size, 12);
  EXPECT_EQ(std::filesystem::path(app.state.downloadFolder), dir.Path() / GbkToPath(folder));
}

TEST(StartupSettings, MissingDownloadFolderFallsBackToProgramDownload) {
  TempDir dir;
  dir.Write("config.ini", "[config]\r\nDownload=/no/such/folder\r\nThread=0\r\n");
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app(model, shell, dir.Path());
  ApplyStartupSettings(app);
  EXPECT_EQ(app.state.downloadFolder, (dir.Path() / "Download").string());
  EXPECT_EQ(app.state.threadCount, 1);
}

// The desktop window's box handler: start-up's own box fills are saved, the
// clamped ones included, and so is every later change of those boxes.
TEST(StartupSettings, BoxHandlerSavesTheBoxesAndSetsRetryAndDelay) {
  TempDir dir;
  dir.Write("config.ini", "[config]\r\nDelay=50\r\nTextBegin=<p>\r\n");
  WindowModel model;
  RecordingShell shell;
  App app(model, shell, dir.Path());
  BindBoxesToSettings(app);
  ApplyStartupSettings(app);
  EXPECT_EQ(model.GetBox(Box::DelayMs), "100");
  EXPECT_EQ(app.settings.Read(keys::Delay), "100");
  EXPECT_EQ(app.settings.Read(keys::Retry), "10");
  EXPECT_EQ(app.settings.Read("ListTagEnd", "<none>"), "</div>");
  EXPECT_EQ(app.settings.Read("TextBegin", "<none>"), "<p>");

  model.SetBox(Box::Retry, "0");
  EXPECT_EQ(app.state.retryCount, 0);
  EXPECT_EQ(app.settings.Read(keys::Retry), "0");
  model.SetBox(Box::Retry, "7");
  EXPECT_EQ(app.state.retryCount, 7);
  model.SetBox(Box::Retry, "-3");
  EXPECT_EQ(model.GetBox(Box::Retry), "0");
  EXPECT_EQ(app.state.retryCount, 0);
  EXPECT_EQ(app.settings.Read(keys::Retry), "0");
  model.SetBox(Box::DelayMs, "");
  EXPECT_EQ(app.state.delayMs, 1);
  EXPECT_EQ(app.settings.Read(keys::Delay), "1");
  model.SetBox(Box::DelayMs, "30");
  EXPECT_EQ(app.state.delayMs, 30);  // below 100 until the next start
  model.SetBox(Box::Address, "http://a.b/c/");
  model.SetBox(Box::ListBegin, "<ul>");
  EXPECT_EQ(app.settings.Read(keys::Website), "http://a.b/c/");
  EXPECT_EQ(app.settings.Read(keys::ListTagBegin), "<ul>");
  const std::string before = dir.Read("config.ini");
  model.SetBox(Box::SaveName, Gbk("书"));
  EXPECT_EQ(dir.Read("config.ini"), before) << "the save name has no setting";
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
