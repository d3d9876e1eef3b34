// Link extraction, title cleaning, URL rules, duplicates and dubious groups,
// on pages written here (no network).

#include <gtest/gtest.h>

#include <random>

#include "contents/clean_title.h"
#include "contents/links.h"
#include "contents/url.h"
#include "tests/support/literal_clean_title.h"
#include "tests/support/support.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {
namespace {

std::string G(std::string_view utf8) { return Utf8ToAnsi(utf8); }

const std::string R = "http://www.book.com";

TEST(UrlFunctions, SiteRootAndHomePages) {
  EXPECT_EQ(SiteRoot(R + "/book/1/"), R);
  EXPECT_EQ(SiteRoot("https://a.b.cn/x"), "https://a.b.cn");
  EXPECT_EQ(SiteRoot(R), "");  // no slash after the host
  EXPECT_TRUE(IsSiteRoot(R));
  EXPECT_TRUE(IsSiteRoot(R + "/"));
  EXPECT_FALSE(IsSiteRoot(R + "/a"));
  EXPECT_FALSE(IsSiteRoot(R + "//"));
  EXPECT_FALSE(IsSiteRoot("ftp://www.book.com/"));
  EXPECT_FALSE(IsWebAddress("http://localhost/book/"));  // no dot in the host part
  EXPECT_TRUE(IsWebAddress("xx HTTPS://a.cn/"));
}

TEST(UrlFunctions, DirectoryPathAndSegments) {
  EXPECT_EQ(DirectoryPath(R + "/book/1/2.html"), "/book/1/");
  EXPECT_EQ(DirectoryPath(R + "/book/1/"), "/book/");
  EXPECT_EQ(DirectoryPath(R + "/book/"), "/");
  EXPECT_EQ(DirectoryPath(R + "/"), "");
  EXPECT_EQ(DirectoryPath("a/b/c"), "a/b/");
  EXPECT_EQ(DirectoryPath("abc"), "/");
  EXPECT_EQ(SchemePrefix("https://x.cn/a"), "https:");
  EXPECT_EQ(SchemePrefix("x.cn"), "");
  EXPECT_EQ(LastSegment(R + "/b/12.html"), "12.html");
  EXPECT_EQ(LastSegment(R + "/b/"), "");
  EXPECT_EQ(LastSegment("plain"), "plain");
  EXPECT_EQ(Extension("12.html"), "html");
  EXPECT_EQ(Extension("12"), "");
}

class LinksTest : public ::testing::Test {
 protected:
  // Appends the links of a page, as the contents command does page by page.
  void Extract(std::string_view page) {
    for (ChapterEntry& e : ExtractLinks(page, address)) entries.push_back(std::move(e));
  }
  std::vector<std::string> Urls() {
    std::vector<std::string> urls;
    for (const auto& e : entries) urls.push_back(e.url);
    return urls;
  }
  std::vector<std::string> Titles() {
    std::vector<std::string> titles;
    for (const auto& e : entries) titles.push_back(e.title);
    return titles;
  }
  std::string address = R + "/book/1/";
  std::vector<ChapterEntry> entries;
};

TEST_F(LinksTest, ResolvesEveryKindOfHref) {
  Extract(
      G("<a href=\"/book/1/2.html\">第一章 开始</a>"
        "<a href='3.html'>第二章</a>"
        "<a href = \"//cdn.book.com/4.html\">第三章</a>"
        "<a href=\"http://other.cn/5.html#x\">第四章</a>"
        "<a href=\"6.html#top\">第五章</a>"));
  EXPECT_EQ(Urls(), (std::vector<std::string>{R + "/book/1/2.html", R + "/book/1/3.html",
                                              "http://cdn.book.com/4.html",
                                              "http://other.cn/5.html", R + "/book/1/6.html"}));
  EXPECT_EQ(Titles()[0], G("第一章 开始"));
}

TEST_F(LinksTest, RelativeHrefAgainstAFileAddress) {
  address = R + "/book/1/index.html";
  EXPECT_EQ(ResolveHref(address, "<a href=\"3.html\">", false, 0), R + "/book/1/3.html");
  EXPECT_EQ(ResolveHref("https://s.cn/b/", "<a href=\"//h.cn/3.html\">", false, 0),
            "https://h.cn/3.html");
}

TEST_F(LinksTest, UnquotedHrefTakesTheValueToSpaceOrBracket) {
  EXPECT_EQ(ResolveHref(R + "/b/", "<a href=list_2.html>", false, 0), R + "/b/list_2.html");
  EXPECT_EQ(ResolveHref(R + "/b/", "<a href=2.html class=x>", false, 0), R + "/b/2.html");
  // Quoted values keep the quote rules: a double quote farther than 8 bytes
  // from "href" falls back to apostrophes.
  EXPECT_EQ(ResolveHref(R + "/b/", "<a href   =     \"x.html\">", false, 0), "");
}

// The unquoted reading serves only where the quoted one finds nothing and
// the "href" stands inside a tag: scripts keep their quoted value or give none.
TEST_F(LinksTest, HrefsInScriptsAreNotReadUnquoted) {
  const std::string base = R + "/b/";
  EXPECT_EQ(
      ResolveHref(base, "<script>html += \"<a href=\\\"/Book/Read/\" + id + \"\\\">\";", false, 0),
      R + "/Book/Read/");
  EXPECT_EQ(
      ResolveHref(base, "<script>window.location.href = location.pathname + \"?t=1\";</script>",
                  false, 0),
      "");
}

TEST_F(LinksTest, FiltersAddressesAndTitles) {
  Extract(
      G("<a href=\"/\">首页</a>"
        "<a href=\"http://www.book.com/book/1/\">本页</a>"
        "<a href=\"javascript:void(0)\">x</a>"
        "<a href=\"/s.php?id=1\">y</a>"
        "<a href=\"/top/1.html\">z</a>"
        "<a href=\"/desktop/2.html\">w</a>"
        "<a href=\"/a/.hidden\">h</a>"
        "<a href=\"/a/b c.html\">s</a>"
        "<a href=\"/b/9.html\">下一页</a>"
        "<a href=\"/b/10.html\">玄幻小说</a>"
        "<a href=\"/b/11.html\">第十一章</a>"));
  EXPECT_EQ(Urls(), std::vector<std::string>{R + "/b/11.html"});
}

TEST_F(LinksTest, CapitalAnchorsYieldNothing) {
  Extract(G("<A HREF=\"/b/1.html\">第一章</A><a HREF=\"/b/2.html\">第二章</a>"));
  EXPECT_TRUE(entries.empty());
}

TEST_F(LinksTest, TitleOfBoldNameWithEllipsis) {
  Extract(G("<a href=\"/b/1.html\" title=\"t\"><b>第一章 风起</b>&hellip;</a>"));
  ASSERT_EQ(Titles().size(), 1u);
  EXPECT_EQ(Titles()[0], G("第一章 风起"));
}

TEST_F(LinksTest, DuplicatesKeepTheLastOccurrence) {
  for (const char* u : {"u1", "u2", "u1", "u3", "u2"}) {
    entries.push_back({u, u, {}});
  }
  RemoveDuplicateUrls(entries);
  EXPECT_EQ(Urls(), (std::vector<std::string>{"u1", "u3", "u2"}));
}

void AddGroup(std::vector<ChapterEntry>& entries, const std::string& dir, int count,
              const std::string& firstTitle) {
  for (int i = 0; i < count; ++i) {
    entries.push_back({i == 0 ? firstTitle : "t", R + dir + std::to_string(i) + ".html", {}});
  }
}

TEST_F(LinksTest, DubiousCleaningKeepsTheLargestGroup) {
  AddGroup(entries, "/other/", 5, "x");
  AddGroup(entries, "/book/", 300, "y");
  CleanDubiousLinks(entries, G("第"));
  EXPECT_EQ(entries.size(), 300u);
  EXPECT_EQ(entries[0].url, R + "/book/0.html");
}

TEST_F(LinksTest, DubiousCleaningPrefersTheKeywordGroup) {
  AddGroup(entries, "/book/", 300, "y");
  AddGroup(entries, "/other/", 5, G("第一章"));
  CleanDubiousLinks(entries, G("第"));
  EXPECT_EQ(entries.size(), 5u);

  // A keyword title that joins an existing group does not make it the
  // keyword group.
  entries.clear();
  AddGroup(entries, "/book/", 3, "y");
  entries.push_back({G("第九章"), R + "/book/9.html", {}});
  AddGroup(entries, "/other/", 2, "x");
  CleanDubiousLinks(entries, G("第"));
  EXPECT_EQ(entries.size(), 4u);
}

TEST_F(LinksTest, DubiousKeywordIsTheGivenWord) {
  AddGroup(entries, "/book/", 10, "y");
  AddGroup(entries, "/other/", 2, "Vol 1");
  CleanDubiousLinks(entries, "Vol");
  EXPECT_EQ(entries.size(), 2u);
}

TEST_F(LinksTest, DubiousCleaningWithOneGroupRemovesNothing) {
  AddGroup(entries, "/book/", 4, "y");
  CleanDubiousLinks(entries, G("第"));
  EXPECT_EQ(entries.size(), 4u);
}

TEST(CleanTitle, EntitiesTagsAndSpaces) {
  EXPECT_EQ(CleanTitle(" <b>A</b>&hellip; "), "A");
  EXPECT_EQ(CleanTitle("a&verylongname;b"), "a&verylongname;b");  // ";" too far away
  EXPECT_EQ(CleanTitle("a&;b&x;"), "a");  // ";" is searched from two bytes on
  EXPECT_EQ(CleanTitle("a&;"), "a&;");
  EXPECT_EQ(CleanTitle("x <unclosed"), "x <unclosed");
  EXPECT_EQ(CleanTitle(G("　第一章　")), G("第一章"));
  EXPECT_EQ(CleanTitle("\tt\t"), "\tt\t");
  // Deleting one run can bring an earlier "&" within reach of a ";".
  EXPECT_EQ(CleanTitle("&abcde&lt;f;"), "");
}

// The real CleanTitle must give what the literal, restart-from-the-start
// rules give, without their quadratic cost.
TEST(CleanTitle, MatchesTheLiteralRulesOnRandomText) {
  const char alphabet[] = {'&', ';', '<', '>', 'a', ' ', '\xA1', '\xD6', '\xD0', 'b', '&', ';'};
  std::mt19937 rng(12345);
  for (int round = 0; round < 20000; ++round) {
    std::string s(rng() % 40, ' ');
    for (char& c : s) c = alphabet[rng() % sizeof(alphabet)];
    ASSERT_EQ(CleanTitle(s), test::LiteralCleanTitle(s)) << "input: " << s;
  }
}

TEST(CleanTitle, PumpsAfterEachDeletionAndStaysLinear) {
  int pumps = 0;
  EXPECT_EQ(CleanTitle("<i>a</i>&amp;", [&] { ++pumps; }), "a");
  EXPECT_EQ(pumps, 3);

  // 200,000 tags and 100,000 entity runs: a restart-from-the-start
  // implementation would take minutes here.
  std::string big;
  for (int i = 0; i < 100000; ++i) big += "<br />x&hellip;<p>";
  const std::string cleaned = CleanTitle(big);
  EXPECT_EQ(cleaned, std::string(100000, 'x'));
}

}  // namespace
}  // namespace tarnlow
