// The chapter-list finder on small pages written here: which links of a page
// it hands to link extraction, or that it sees no list at all.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "contents/anchor_scan.h"
#include "contents/auto_list.h"
#include "contents/links.h"
#include "tests/support/support.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

using test::Gbk;

const std::string kNav =
    Gbk("<div class=\"nav\"><a href=\"/\">首页</a><a href=\"/rank.html\">排行榜单</a>"
        "<a href=\"/login.html\">登陆账号</a><a href=\"/pay.html\">充值</a>"
        "<a href=\"/reg.html\">注册</a></div>");
const std::string kFooter = Gbk(
    "<div class=\"foot\"><a href=\"/history.html\">阅读记录</a><a href=\"/del.html\">点击删除</a>"
    "<a href=\"mailto:a@b.cn\">a@b.cn</a><a href=\"/new.html\">最近更新</a></div>");

std::string Title(int n) { return "第" + std::to_string(n) + "章 标题" + std::to_string(n); }

// Chapter n links to /b/1/(100 + n).html, so the addresses count up with it.
std::string Anchor(int n, const std::string& utf8Title) {
  return "<a href=\"/b/1/" + std::to_string(100 + n) + ".html\">" + Gbk(utf8Title) + "</a>";
}

// Chapters `first` to `last` (down when last < first), each in open/close.
std::string Chapters(int first, int last, const std::string& open, const std::string& close) {
  std::string items;
  const int step = last >= first ? 1 : -1;
  for (int n = first; n != last + step; n += step) items += open + Anchor(n, Title(n)) + close;
  return items;
}

std::vector<std::string> Titles(int first, int last) {
  std::vector<std::string> titles;
  const int step = last >= first ? 1 : -1;
  for (int n = first; n != last + step; n += step) titles.push_back(Title(n));
  return titles;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// What link extraction makes of the found anchors: the titles, in order.
std::vector<std::string> Extracted(const std::string& anchors) {
  std::vector<std::string> titles;
  for (const ChapterEntry& e : ExtractLinks(anchors, "http://www.book.com/b/1/"))
    titles.push_back(GbkToUtf8(e.title));
  return titles;
}

struct Case {
  const char* name;
  std::string page;                 // GBK
  std::vector<std::string> titles;  // empty: the page holds no list
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::vector<Case> Cases() {
  const std::string li = "<li>";
  const std::string endLi = "</li>";
  std::vector<Case> cases;

  cases.push_back({"NavigationBeforeAndAfterTheList",
                   kNav + Gbk("<div id=\"list\"><dl><dt>正文</dt>") +
                       Chapters(1, 6, "<dd>", "</dd>") + "</dl></div>" + kFooter,
                   Titles(1, 6)});

  // The newest chapters repeated above the list, in the same markup.
  cases.push_back({"LatestChaptersAboveTheFullList",
                   kNav + Gbk("<div id=\"list\"><dl><dt>《某书》最新章节</dt>") +
                       Chapters(8, 6, "<dd>", "</dd>") + Gbk("<dt>《某书》正文</dt>") +
                       Chapters(1, 8, "<dd>", "</dd>") + "</dl></div>" + kFooter,
                   Titles(1, 8)});

  // A list over several pages: the newest chapters are not on this page.
  cases.push_back({"LatestChaptersOfAListOnSeveralPages",
                   kNav + Gbk("<div class=\"box\"><h2>最新章节</h2>") +
                       Chapters(100, 98, "<p>", "</p>") +
                       Gbk("</div><div class=\"box\"><h2>正文</h2>") +
                       Chapters(1, 5, "<p>", "</p>") + "</div>" + kFooter,
                   Titles(1, 5)});

  // Below the first page of a list over several pages: the latest chapters
  // under their heading, or newest first under another.
  const auto below = [](const char* heading, int first, int last) {
    return kNav + Gbk("<div class=\"box\"><h2>正文</h2>") + Chapters(1, 5, "<p>", "</p>") +
           Gbk(std::string("</div><div class=\"box\"><h2>") + heading + "</h2>") +
           Chapters(first, last, "<p>", "</p>") + "</div>" + kFooter;
  };
  cases.push_back({"LatestChaptersBelowTheList", below("最新章节", 98, 100), Titles(1, 5)});
  cases.push_back({"NewestFirstBlockBelowTheList", below("本书动态", 100, 98), Titles(1, 5)});

  // Volumes under headings, each heading with a link of its own; the first
  // volume holds notes that do not read like chapters.
  const auto volume = [&](const char* heading, const std::string& items) {
    return Gbk(std::string("<div class=\"volume\"><h3>") + heading +
               " <a href=\"/read/1.html\">分卷阅读</a></h3><ul>") +
           items + "</ul></div>";
  };
  cases.push_back({"VolumesUnderHeadingsMakeOneList",
                   kNav + "<div class=\"catalog\">" +
                       volume("作品相关", li + Anchor(-10, "上架感言") + endLi + li +
                                              Anchor(-9, "请假条") + endLi) +
                       volume("第一卷 起", Chapters(1, 3, li, endLi)) +
                       volume("第二卷 承", Chapters(4, 6, li, endLi)) + "</div>" + kFooter,
                   Join({"上架感言", "请假条"}, Titles(1, 6))});

  std::string rows;
  for (int row = 0; row < 3; ++row) {
    rows += "<tr>";
    for (int n = row * 3 + 1; n <= row * 3 + 3; ++n) {
      rows += n <= 8 ? "<td>" + Anchor(n, Title(n)) + "</td>" : "<td></td>";
    }
    rows += "</tr>";
  }
  cases.push_back({"ListInATable", kNav + "<table>" + rows + "</table>" + kFooter, Titles(1, 8)});

  // A book's information page: its latest chapters, newest first, and other
  // books in no order.
  std::string books;
  for (const char* book :
       {"万古神帝 57", "遮天 3", "圣墟 912", "牧神记 40", "伏天氏 7", "飞剑问道 233", "元尊 18"}) {
    const std::string text(book);
    const std::size_t space = text.find(' ');
    books += "<li><a href=\"/book/" + text.substr(space + 1) + "/\">" + Gbk(text.substr(0, space)) +
             "</a></li>";
  }
  // Chapters other readers read, of other books, in no order.
  std::string reading;
  for (const char* chapter : {"57/8812 第3章 初见", "3/1203 第12章 归途", "912/77 第1章 雨夜",
                              "40/5120 第40章 决战", "7/930 第9章 离别", "233/4410 第2章 旧友"}) {
    const std::string text(chapter);
    const std::size_t space = text.find(' ');
    reading += "<li><a href=\"/book/" + text.substr(0, space) + ".html\">" +
               Gbk(text.substr(space + 1)) + "</a></li>";
  }
  cases.push_back(
      {"RecommendationsAndLatestChaptersAreNoList",
       kNav + Gbk("<div class=\"info\"><h1>某书</h1><p>作者：某人</p>") + Anchor(1, "开始阅读") +
           Gbk("</div><div class=\"latest\"><h2>最新章节</h2><ul>") + Chapters(12, 10, li, endLi) +
           Gbk("</ul></div><div class=\"hot\"><h2>热门推荐</h2><ul>") + books +
           Gbk("</ul></div><div class=\"hot\"><h2>书友都在读</h2><ul>") + reading + "</ul></div>" +
           kFooter,
       {}});

  std::string numbered;
  for (int n = 1; n <= 6; ++n) numbered += li + Anchor(n, std::to_string(n)) + endLi;
  cases.push_back({"PlainNumbersAsTitles",
                   kNav + "<ul class=\"list\">" + numbered + "</ul>" + kFooter,
                   {"1", "2", "3", "4", "5", "6"}});

  const std::vector<std::string> english = {
      "The Road North", "A Letter",   "Fog",      "The Lighthouse", "Night Watch", "Old Friends",
      "The Storm",      "Broken Oar", "Low Tide", "Harbour Lights", "Homecoming",  "Dawn"};
  std::string englishItems;
  for (std::size_t i = 0; i < english.size(); ++i) {
    englishItems += li + Anchor(static_cast<int>(i) + 1, english[i]) + endLi;
  }
  cases.push_back({"EnglishTitlesByStructureAlone",
                   kNav + "<ul class=\"list\">" + englishItems + "</ul>" + kFooter, english});

  // Newest first throughout: a short volume counting down is part of it, not
  // a block of latest chapters.
  cases.push_back({"NewestFirstListWithAShortVolume",
                   kNav + Gbk("<ul id=\"chapterList\"><li class=\"volume\">第二卷</li>") +
                       Chapters(30, 6, li, endLi) + Gbk("<li class=\"volume\">第一卷</li>") +
                       Chapters(5, 1, li, endLi) + "</ul>" + kFooter,
                   Titles(30, 1)});

  // A link to the first chapter above a list that runs newest first.
  cases.push_back({"FirstChapterLinkAboveANewestFirstList",
                   kNav + Gbk("<div class=\"zhangjie\"><ul>") + Chapters(1, 1, li, endLi) +
                       Gbk("<h2>某书目录列表 顺序排列</h2></ul><ul id=\"chapterList\">") +
                       Chapters(30, 1, li, endLi) + "</ul></div>" + kFooter,
                   Titles(30, 1)});

  // "某书最新章节列表" heading the whole list, whose first volume is short.
  cases.push_back({"WholeListUnderALatestHeading",
                   kNav +
                       Gbk("<div class=\"booklist\"><h2>某书最新章节列表</h2><ul>"
                           "<li class=\"volume\">作品相关</li>") +
                       li + Anchor(-10, "有关设定") + endLi + li + Anchor(-9, "上架感言") + endLi +
                       Gbk("<li class=\"volume\">第一卷</li>") + Chapters(1, 4, li, endLi) +
                       "</ul></div>" + kFooter,
                   Join({"有关设定", "上架感言"}, Titles(1, 4))});

  return cases;
}

class FindChapterListTest : public ::testing::TestWithParam<Case> {};

TEST_P(FindChapterListTest, HandsOverTheListOnly) {
  const Case& c = GetParam();
  const std::optional<FoundList> list = FindChapterList(c.page);
  if (c.titles.empty()) {
    EXPECT_FALSE(list.has_value());
    return;
  }
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(Extracted(list->anchors), c.titles);
}

INSTANTIATE_TEST_SUITE_P(Pages, FindChapterListTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The last page of a list over several pages may hold a single chapter, too
// few to tell a list by; the first page's list tells which run it is.
TEST(FindChapterListOnFurtherPages, TakesTheRunsThatLookLikeTheFirstPagesList) {
  const auto page = [](int first, int last) {
    return kNav + Gbk("<div class=\"box\"><h2>最新章节</h2>") + Chapters(100, 98, "<p>", "</p>") +
           Gbk("</div><div class=\"box\"><h2>正文</h2>") + Chapters(first, last, "<p>", "</p>") +
           "</div>" + kFooter;
  };
  const std::optional<FoundList> first = FindChapterList(page(1, 5));
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(Extracted(first->anchors), Titles(1, 5));
  EXPECT_FALSE(FindChapterList(page(6, 6)).has_value());

  const std::optional<FoundList> last = FindChapterList(page(6, 6), first->markup);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(Extracted(last->anchors), Titles(6, 6));

  const std::string otherMarkup = kNav + "<ul>" + Chapters(6, 9, "<li>", "</li>") + "</ul>";
  EXPECT_FALSE(FindChapterList(otherMarkup, first->markup).has_value());
}

// A byte of 0x80 or more takes the next byte with it, whatever that is, as
// in every text operation of the program: "\x81>" and "\x81<" are
// characters, not markup, so the tag runs on to the later ">" and the anchor
// to the later "</a>", where link extraction splits the page too.
TEST(ScanAnchors, DoubleByteCharactersHideMarkupBytes) {
  const std::string anchor = "<a href=\"1.html\">A\x81</a>B</a>";
  const std::string page = "<p class=\x81>x>" + anchor + "</p>";
  const std::vector<PageAnchor> anchors = ScanAnchors(page);
  ASSERT_EQ(anchors.size(), 1u);
  EXPECT_EQ(page.substr(anchors[0].begin, anchors[0].end - anchors[0].begin), anchor);
  EXPECT_FALSE(anchors[0].textBefore);
}

}  // namespace
}  // namespace tarnlow
