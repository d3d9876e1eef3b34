// Book name detection and chapter renumbering.

#include <gtest/gtest.h>

#include "contents/book_info.h"
#include "contents/renumber.h"
#include "tests/support/support.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

std::string G(const char* utf8) { return Utf8ToAnsi(utf8); }

const std::string kMetaPage =
    G("<head><meta property=\"og:novel:book_name\" content=\"某书\"/>"
      "<META property=\"og:NOVEL:AUTHOR\" content=\"某人\"/><title>无关</title></head>");

TEST(DetectBookInfo, MetaNameWithAuthorByFormat) {
  EXPECT_EQ(DetectBookInfo(kMetaPage, 0), G("某书"));
  EXPECT_EQ(DetectBookInfo(kMetaPage, 1), G("某人 - 某书"));
  EXPECT_EQ(DetectBookInfo(kMetaPage, 2), G("某人-某书"));
  EXPECT_EQ(DetectBookInfo(kMetaPage, 3), G("某人 _ 某书"));
  EXPECT_EQ(DetectBookInfo(kMetaPage, 4), G("某人_某书"));
  EXPECT_EQ(DetectBookInfo(kMetaPage, 7), G("某书"));
}

TEST(DetectBookInfo, TitleFallbackAndCutWords) {
  const auto page = [](const char* title) {
    return G("<meta property=\"og:novel:author\" content=\"某人\"/><TITLE>\r\n") + G(title) +
           "\t</TITLE>";
  };
  EXPECT_EQ(DetectBookInfo(page("某书最新章节_某书全文阅读"), 1), G("某书"));
  EXPECT_EQ(DetectBookInfo(page("某书-某站"), 0), G("某书"));
  EXPECT_EQ(DetectBookInfo(page("某书"), 0), G("某书"));
  EXPECT_EQ(DetectBookInfo(page("-某书"), 0), G("-某书"));
  // Words are tried in list order: 最新 cuts before the earlier comma.
  EXPECT_EQ(DetectBookInfo(page("某书，最新版"), 0), G("某书，"));
  EXPECT_EQ(DetectBookInfo("<p>nothing</p>", 1), "");
}

class RenumberTest : public ::testing::Test {
 protected:
  void Renumber(std::vector<std::string> titles) {
    entries.clear();
    for (auto& t : titles) entries.push_back({G(t.c_str()), "u", {}});
    RenumberTitles(entries);
  }
  std::string Title(std::size_t i) { return GbkToUtf8(entries[i].title); }
  std::vector<ChapterEntry> entries;
};

TEST_F(RenumberTest, ListPositionReplacesTheSiteNumber) {
  std::vector<std::string> titles(12, "x");
  titles[0] = "第一章 风起";
  titles[1] = "楔子";
  titles[2] = "12、归来";
  titles[3] = "楔子 第一章";
  titles[11] = "第十二章、归来";
  Renumber(titles);
  EXPECT_EQ(Title(0), "第1章 风起");
  EXPECT_EQ(Title(1), "第2章 楔子");
  EXPECT_EQ(Title(2), "第3章 归来");
  EXPECT_EQ(Title(3), "第4章 楔子 第一章");
  EXPECT_EQ(Title(11), "第12章 归来");
  EXPECT_EQ(entries.size(), 12u);
}

TEST_F(RenumberTest, RunningTwiceChangesNothingMore) {
  Renumber({"第一章 风起", "楔子 第一章", "3 x", "第三章 y"});
  std::vector<std::string> once;
  for (std::size_t i = 0; i < 4; ++i) once.push_back(Title(i));
  RenumberTitles(entries);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(Title(i), once[i]);
  EXPECT_EQ(once[3], "第4章 y");
}

}  // namespace
}  // namespace tarnlow
