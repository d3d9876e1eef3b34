// The chapter list box's commands: the chapter list and the list box change
// together, and the window goes back to idle when the list is emptied.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "app/run_log.h"
#include "commands/list_commands.h"
#include "tests/support/support.h"

namespace tarnlow {
namespace {

class ListCommandsTest : public ::testing::Test {
 protected:
  // Entries "1" to "n" (the titles), fetched texts "text 1" ..., addresses
  // in `folder` for every entry.
  void Fill(int n, const std::vector<std::string>& folders = {}) {
    std::vector<std::string> titles;
    for (int i = 1; i <= n; ++i) {
      const std::string folder =
          folders.empty() ? "/book/" : folders[static_cast<std::size_t>(i - 1)];
      app.chapters.Append({std::to_string(i),
                           "http://www.site.com" + folder + std::to_string(i) + ".html",
                           "text " + std::to_string(i)});
      titles.push_back(std::to_string(i));
    }
    model.ListSetAll(titles);
    model.SetExecuteCaption(CaptionChapters());
    model.SetAddressLabel("label");
  }
  void Select(std::initializer_list<int> items) {
    for (int item : items) model.ListSelect(item - 1, true);
  }
  // The titles of the chapter list, after checking that the list box shows
  // the same ones and every entry kept its own text.
  std::vector<std::string> Titles() {
    std::vector<std::string> titles;
    for (const ChapterEntry& entry : app.chapters.Entries()) {
      EXPECT_EQ(entry.text, "text " + entry.title);
      titles.push_back(entry.title);
    }
    EXPECT_EQ(model.ListItems(), titles);
    return titles;
  }

  test::TempDir dir;
  WindowModel model;
  RecordingShell shell;
  App app{model, shell, dir.Path()};
};

using Names = std::vector<std::string>;

TEST_F(ListCommandsTest, ReversingTwiceRestoresTheOrder) {
  Fill(4);
  Select({2});
  ReverseList(app);
  EXPECT_EQ(Titles(), (Names{"4", "3", "2", "1"}));
  EXPECT_TRUE(model.SelectedItems().empty());
  EXPECT_EQ(model.AddressLabel(), "label");
  ReverseList(app);
  EXPECT_EQ(Titles(), (Names{"1", "2", "3", "4"}));
}

TEST_F(ListCommandsTest, DeletesTheSelectedEntries) {
  Fill(10);
  Select({2, 5});
  DeleteSelectedEntries(app);
  EXPECT_EQ(Titles(), (Names{"1", "3", "4", "6", "7", "8", "9", "10"}));
  EXPECT_EQ(model.AddressLabel(), "");
  EXPECT_EQ(model.ExecuteCaption(), CaptionChapters());
}

TEST_F(ListCommandsTest, EmptyingTheListReturnsToIdle) {
  Fill(3, {"/a/", "/a/", "/a/"});
  Select({1, 2, 3});
  DeleteSelectedEntries(app);
  EXPECT_TRUE(app.chapters.Empty());
  EXPECT_EQ(model.ListCount(), 0);
  EXPECT_EQ(model.ExecuteCaption(), CaptionContents());
  EXPECT_EQ(model.Status(), IdleHelpText());

  Fill(2, {"/a/", "/a/"});
  Select({2});
  RemoveRelatedLinks(app);
  EXPECT_TRUE(app.chapters.Empty());
  EXPECT_EQ(model.ExecuteCaption(), CaptionContents());
}

TEST_F(ListCommandsTest, CopiesTheSelectedTitlesLastFirst) {
  Fill(5);
  EXPECT_EQ(SelectedTitles(app), "");
  Select({1, 2, 3});
  EXPECT_EQ(SelectedTitles(app), "3\r\n2\r\n1\r\n");
}

TEST_F(ListCommandsTest, RemovesTheLinksOfTheSelectedFolder) {
  Fill(6, {"/a/", "/b/", "/a/", "/b/", "/b/sub/", "/a/"});
  Select({4, 1});  // the first selected entry's folder counts: /a/
  RemoveRelatedLinks(app);
  EXPECT_EQ(Titles(), (Names{"2", "4", "5"}));
  EXPECT_EQ(model.AddressLabel(), "");
}

TEST_F(ListCommandsTest, MenuOfferedAndItemsEnabledByState) {
  EXPECT_FALSE(ListMenuOffered(app)) << "before a contents run";
  Fill(3);
  EXPECT_TRUE(ListMenuOffered(app));
  for (ListMenuItem item : {ListMenuItem::Renumber, ListMenuItem::Reverse, ListMenuItem::ClearList,
                            ListMenuItem::CleanDubious})
    EXPECT_TRUE(ListMenuItemEnabled(app, item));
  for (ListMenuItem item :
       {ListMenuItem::CopyTitles, ListMenuItem::DeleteSelected, ListMenuItem::RemoveRelated,
        ListMenuItem::OpenLink, ListMenuItem::ViewSource, ListMenuItem::ViewText})
    EXPECT_FALSE(ListMenuItemEnabled(app, item)) << "nothing selected";
  Select({2});
  EXPECT_TRUE(ListMenuItemEnabled(app, ListMenuItem::ViewText));

  RenumberEntries(app);
  CleanDubiousEntries(app);
  EXPECT_FALSE(ListMenuItemEnabled(app, ListMenuItem::Renumber));
  EXPECT_FALSE(ListMenuItemEnabled(app, ListMenuItem::CleanDubious));
  EXPECT_EQ(model.ListItemText(0), test::Gbk("第1章 "));

  app.state.batchMode = true;
  EXPECT_FALSE(ListMenuOffered(app));
  app.state.batchMode = false;
  app.state.commandRunning = true;
  EXPECT_FALSE(ListMenuOffered(app));
  app.state.commandRunning = false;
  model.EnableExecute(false);
  EXPECT_FALSE(ListMenuOffered(app));
}

}  // namespace
}  // namespace tarnlow
