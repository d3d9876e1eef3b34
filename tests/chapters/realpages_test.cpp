// The engine on pages saved from real novel sites (read from the shared
// folder, skipped when it is absent): contents pages must give their chapter
// lists, with and without contents marks, chapter pages their text. The
// figures printed are the measurement.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "app/app.h"
#include "chapters/extraction.h"
#include "contents/contents_driver.h"
#include "contents/links.h"
#include "contents/url.h"
#include "fetch/fetch_page.h"
#include "tests/chapters/shipped_rules.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {
namespace {

struct RealPage {
  const char* file;
  // The page declares GBK but was kept as UTF-8: a real site sends GBK bytes.
  bool resaveAsGbk;
  const char* address;         // where its links resolve (contents pages)
  int minimum;                 // chapters at least (contents) or text bytes at least (chapters)
  const char* textBegin = "";  // the text marks a user types where the built-in search fails
  const char* textEnd = "";
};

void PrintTo(const RealPage& page, std::ostream* os) { *os << page.file; }

// What a fetch of the page gives: the saved bytes sent as a 200 answer.
std::optional<std::string> Fetched(const RealPage& page) {
  auto bytes = test::RealPage(page.file);
  if (!bytes) return std::nullopt;
  if (bytes->rfind("\xEF\xBB\xBF", 0) == 0) bytes->erase(0, 3);
  if (page.resaveAsGbk) *bytes = Utf8ToAnsi(*bytes);
  return ShownText(ProcessResponse(*bytes, "HTTP/1.1 200 OK\r\nContent-Type: text/html"));
}

class RealContents : public ::testing::TestWithParam<RealPage> {};

TEST_P(RealContents, GivesTheChapterList) {
  const RealPage& p = GetParam();
  const auto page = Fetched(p);
  if (!page) GTEST_SKIP() << "saved real pages are not here";
  std::vector<ChapterEntry> entries = ExtractLinks(*page, p.address);
  const std::size_t extracted = entries.size();
  RemoveDuplicateUrls(entries);
  const std::size_t unique = entries.size();
  CleanDubiousLinks(entries, Utf8ToAnsi("第"));
  std::printf("%-50s links %5zu, unique %5zu, after dubious cleaning %5zu\n", p.file, extracted,
              unique, entries.size());
  EXPECT_GE(static_cast<int>(entries.size()), p.minimum);
}

INSTANTIATE_TEST_SUITE_P(
    Saved, RealContents,
    ::testing::Values(
        RealPage{"biquge/biquge_com_tw_toc_zhushen.html", false,
                 "http://www.biquge.com.tw/17_17275/", 821},
        RealPage{"biquge/wsx_toc.html", false, "https://www.biquge.info/10_10582/", 687},
        RealPage{"biquge/xbiquge_la_toc_sancunrenjian.html", false,
                 "https://www.xbiquge.la/10/10489/", 679},
        RealPage{"biquge/htchan_xbiquge_book.html", true, "https://www.xbiquge.so/book/1/", 220},
        RealPage{"01xs/01xs_catalog_menghuidamingchun.html", false,
                 "https://www.01xs.com/xiaoshuo/106642/", 798},
        RealPage{"miqu/miqu_toc_douluodalu.html", false, "https://www.miqu.net/book/1/", 717},
        RealPage{"shuquge/shuquge_toc_30668.html", false, "https://www.shuquge.com/txt/30668/",
                 1860},
        RealPage{"siluke/siluke_book_page_toc.html", false, "https://www.siluke.com/ny10354/",
                 1781},
        RealPage{"999wenxue/999dir_toc_canglangzhishui.html", false,
                 "http://www.999wenxue.com/book/1/", 93},
        RealPage{"uukanshu/htchan_uukanshu_book.html", true, "https://www.uukanshu.com/b/1/", 3413},
        RealPage{"69shu/69shuba_toc_chuanshu.html", true, "https://www.69shuba.com/book/1/", 199},
        RealPage{"xbanxia/xbanxia_toc.html", false, "https://www.xbanxia.com/books/1/", 234}),
    [](const auto& info) {
      std::string name = info.param.file;
      name = name.substr(name.find('/') + 1);
      name = name.substr(0, name.find('.'));
      return name;
    });

// The contents and book pages served as their sites send them, and the
// contents command run on them at default settings, without marks.
struct RealList {
  const char* file;
  // 'g': GBK bytes; 'u': UTF-8 (sent as such); 'r': declares GBK but was
  // kept as UTF-8, so it is sent as the GBK bytes a real site sends.
  char stored;
  const char* path;  // where it is served: its relative links resolve there
  // Chapter links of the list as INDEX.md counts them (its unique ones where
  // it names them); 0 for a book's information page, which has no list.
  int links;
};

void PrintTo(const RealList& page, std::ostream* os) { *os << page.file; }

class RealListServer {
 public:
  // False when the saved pages are not here.
  bool Serve(const RealList& page) {
    auto bytes = test::RealPage(page.file);
    if (!bytes) return false;
    if (bytes->rfind("\xEF\xBB\xBF", 0) == 0) bytes->erase(0, 3);
    if (page.stored == 'r') *bytes = Utf8ToAnsi(*bytes);
    server.Serve(page.path, *bytes, page.stored == 'u' ? "text/html; charset=utf-8" : "text/html");
    return true;
  }

  // The contents command as the program starts it, with an empty program
  // folder; failed next pages (none is served) are not retried.
  bool GetContentsOf(const std::string& path) {
    ApplyStartupSettings(app);
    app.state.retryCount = 0;
    app.state.delayMs = 1;
    model.SetBox(Box::Address, server.Url(path));
    model.SetExecuteCaption(CaptionContents());
    return GetContents(app);
  }

  test::TempDir dir;
  test::TestServer server;
  WindowModel model;
  RecordingShell shell;
  App app{model, shell, dir.Path()};
};

// The folder that holds most of the list's addresses.
std::string MainFolder(const ChapterList& chapters) {
  std::map<std::string, int> folders;
  for (const ChapterEntry& e : chapters.Entries()) ++folders[DirectoryPath(e.url)];
  return std::max_element(folders.begin(), folders.end(),
                          [](const auto& a, const auto& b) { return a.second < b.second; })
      ->first;
}

class RealLists : public ::testing::TestWithParam<RealList> {};

TEST_P(RealLists, DefaultSettingsGiveTheListOrNone) {
  const RealList& p = GetParam();
  RealListServer site;
  if (!site.Serve(p)) GTEST_SKIP() << "saved real pages are not here";
  const bool ready = site.GetContentsOf(p.path);
  const ChapterList& chapters = site.app.chapters;
  std::printf("%-50s expected %5d, listed %5zu%s\n", p.file, p.links, chapters.Size(),
              ready ? "" : " (no list)");
  if (p.links == 0) {
    EXPECT_FALSE(ready);
    ASSERT_EQ(site.shell.Messages().size(), 1u);
    EXPECT_EQ(site.shell.Messages()[0].text, test::Gbk("没有找到目录列表，建议重试！！"));
    return;
  }
  ASSERT_TRUE(ready);
  // Within 2%, and at least one link either way for the short lists.
  const int listed = static_cast<int>(chapters.Size());
  EXPECT_LE(std::abs(listed - p.links), std::max(1, p.links / 50));
  // Navigation links lead out of the book's folder; chapters stay in it.
  const std::string folder = MainFolder(chapters);
  for (std::size_t i = 0; i < chapters.Size(); ++i) {
    if (i >= 5 && i + 5 < chapters.Size()) continue;
    EXPECT_EQ(DirectoryPath(chapters[i].url), folder)
        << i << ": " << GbkToUtf8(chapters[i].title) << " " << chapters[i].url;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Saved, RealLists,
    ::testing::Values(
        RealList{"biquge/biquge_com_tw_toc_zhushen.html", 'g', "/17_17275/", 821},
        RealList{"biquge/wsx_toc.html", 'u', "/10_10582/", 687},
        RealList{"biquge/xbiquge_la_toc_sancunrenjian.html", 'u', "/10/10489/", 679},
        RealList{"biquge/htchan_xbiquge_book.html", 'r', "/book/45525/", 220},
        RealList{"axrss/axrss_catalog.html", 'u', "/book/566244.html", 20},
        RealList{"axrss/axrss_catalog_2.html", 'u', "/book/566244_2.html", 20},
        RealList{"axrss/axrss_catalog_3.html", 'u', "/book/566244_3.html", 20},
        RealList{"01xs/01xs_catalog_menghuidamingchun.html", 'u', "/xiaoshuo/106642/", 799},
        RealList{"miqu/miqu_toc_douluodalu.html", 'u', "/book/71760/", 717},
        RealList{"shuquge/shuquge_toc_30668.html", 'u', "/txt/30668/", 1866},
        RealList{"siluke/siluke_book_page_toc.html", 'u', "/ny10354/", 1781},
        RealList{"999wenxue/999dir_toc_canglangzhishui.html", 'g', "/book/1/", 93},
        RealList{"qidian/qidian_book_catalog_mushenji.html", 'u', "/info/1009704712/", 14},
        RealList{"uukanshu/htchan_uukanshu_book.html", 'r', "/b/1248/", 3414},
        RealList{"hjwzw/htchan_hjwzw_chapter_list.html", 'u', "/Book/Chapter/37656/", 33},
        RealList{"hjwzw/htchan_hjwzw_book.html", 'u', "/Book/37656/", 0},
        RealList{"69shu/69shuba_toc_chuanshu.html", 'r', "/book/59024/", 199},
        RealList{"69shu/69shuba_bookinfo_chuanshu.html", 'r', "/book/59024.htm/", 0},
        RealList{"ixdzs/ixdzs_bookinfo.html", 'u', "/read/620438/", 0},
        RealList{"xbanxia/xbanxia_toc.html", 'u', "/books/331303/", 234},
        RealList{"zhaishuyuan/zhaishuyuan_detail_wuzhexian.html", 'r', "/book/36788/", 0}),
    [](const auto& info) {
      std::string name = info.param.file;
      name = name.substr(name.find('/') + 1);
      name = name.substr(0, name.find('.'));
      return name;
    });

// Three pages of one list, each with the five latest chapters above its part:
// the parts in order, the latest chapters nowhere.
TEST(RealListPages, FollowsTheNextPagesOfTheFoundList) {
  RealListServer site;
  if (!site.Serve({"axrss/axrss_catalog.html", 'u', "/book/566244.html", 20}) ||
      !site.Serve({"axrss/axrss_catalog_2.html", 'u', "/book/566244_2.html", 20}) ||
      !site.Serve({"axrss/axrss_catalog_3.html", 'u', "/book/566244_3.html", 20})) {
    GTEST_SKIP() << "saved real pages are not here";
  }
  ASSERT_TRUE(site.GetContentsOf("/book/566244.html"));
  const ChapterList& chapters = site.app.chapters;
  ASSERT_EQ(chapters.Size(), 60u);
  EXPECT_EQ(GbkToUtf8(chapters[0].title).rfind("第1章 ", 0), 0u);
  EXPECT_EQ(GbkToUtf8(chapters[59].title).rfind("第56章 ", 0), 0u);
  for (const ChapterEntry& e : chapters.Entries()) {
    EXPECT_EQ(GbkToUtf8(e.title).find("第199章"), std::string::npos);
  }
}

class RealChapter : public ::testing::TestWithParam<RealPage> {};

TEST_P(RealChapter, GivesTheChapterText) {
  const RealPage& p = GetParam();
  const auto page = Fetched(p);
  if (!page) GTEST_SKIP() << "saved real pages are not here";
  const std::string text =
      ExtractChapterText(*page, Utf8ToAnsi(p.textBegin), Utf8ToAnsi(p.textEnd), {0, nullptr});
  const std::string utf8 = GbkToUtf8(text);
  std::printf("%-50s %s text %6zu bytes, %4d lines: %.60s\n", p.file,
              *p.textBegin != 0 ? "marks   " : "built-in", text.size(),
              static_cast<int>(std::count(text.begin(), text.end(), '\n')), utf8.c_str());
  EXPECT_GE(static_cast<int>(text.size()), p.minimum);
}

INSTANTIATE_TEST_SUITE_P(
    Saved, RealChapter,
    ::testing::Values(
        // Found by the built-in search for a run of line breaks or paragraphs.
        RealPage{"biquge/biquge_com_tw_chapter_7633258.html", false, "", 6000},
        RealPage{"biquge/wsx_chapter.html", false, "", 6000},
        RealPage{"biquge/xbiquge_la_chapter_sancunrenjian_672.html", false, "", 5000},
        RealPage{"biquge/htchan_xbiquge_chapter.html", true, "", 3000},
        RealPage{"biquge/bqg_chaptercontent_jingtianjiandi_ch9.html", false, "", 8000},
        RealPage{"78xs/78xs_chapter_fenghuotaobing_ch22.html", false, "", 4000},
        RealPage{"zongheng/zongheng_chapter_jianlai_ch14.html", false, "", 12000},
        RealPage{"qxs/qxs_la_chapter_xueying.html", true, "", 6000},
        RealPage{"ixdzs/ixdzs_chapter_ch1.html", false, "", 4500},
        RealPage{"xbanxia/xbanxia_chapter_ch1.html", false, "", 4000},
        // Single line breaks, unclosed paragraphs, ads inside the text: the
        // user gives the text marks.
        RealPage{"siluke/siluke_chapter_page.html", false, "", 8000, "<div class=\"cont\">",
                 "<script"},
        RealPage{"qidian/qidian_read_chapter_mushenji_ch2.html", false, "", 6000,
                 "<div class=\"read-content j_readContent\">", "</div>"},
        RealPage{"uukanshu/htchan_uukanshu_chapter.html", true, "", 3000,
                 "<div id=\"contentbox\" class=\"uu_cont\">", "<!--flag"},
        RealPage{"hjwzw/htchan_hjwzw_chapter.html", false, "", 4500, "<p/>", "</div>"},
        RealPage{"69shu/69shuba_chapter_chuanshu_ch1.html", true, "", 3000,
                 "<div class=\"txtnav\" style=\"line-height: 1.8;\">", "<div class=\"bottom-ad\">"},
        RealPage{"axrss/axrss_content_1.html", false, "", 1500, "<div id=\"article\">", "</div>"}),
    [](const auto& info) {
      std::string name = info.param.file;
      name = name.substr(name.find('/') + 1);
      name = name.substr(0, name.find('.'));
      return name;
    });

// The 25 chapter pages with default settings (no text marks, the body
// finder on, the shipped rules). A body is whole when its first and last
// lines are there and it has most of its length; clean when none of the site
// junk listed is left. The rules may take out exactly the junk listed.
enum class Sent {
  Utf8,
  Gbk,
  Resaved,  // declares GBK but was kept as UTF-8: a real site sends GBK bytes
};

struct BodyPage {
  const char* file;
  Sent sent;
  int minimum;                         // bytes the whole body has at least
  const char* first;                   // a piece of the body's first line (UTF-8)
  const char* last;                    // a piece of its last line
  std::vector<const char*> junk = {};  // what the shipped rules take out
  std::vector<const char*> left = {};  // site junk no rule knows
  bool garbled = false;                // never clean: its junk is as garbled as the rest
};

const std::vector<BodyPage>& BodyPages() {
  static const std::vector<BodyPage> pages = {
      {"biquge/biquge_com_tw_chapter_7633258.html", Sent::Gbk, 6000,
       "主神殿开启！请轮回者做好准备！", "所有轮回者确认！开始本次任务！"},
      {"biquge/wsx_chapter.html", Sent::Utf8, 5500, "悠扬的钟声在云间来回飘荡", "英武的大师兄！"},
      {"biquge/xbiquge_la_chapter_sancunrenjian_672.html", Sent::Utf8, 4900,
       "王宝乐一听这话，顿时激动起来", "就是诞生出星辰元婴。"},
      {"biquge/htchan_xbiquge_chapter.html",
       Sent::Resaved,
       7600,
       "神圣魔法是光系魔法的升华。",
       "人已经如同流星一般飞了出去。",
       {"笔趣阁 www.xbiquge.bz，最快更新神印王座II皓月当空 ！"}},
      {"biquge/bqg_chaptercontent_jingtianjiandi_ch9.html",
       Sent::Utf8,
       7500,
       "听见铁海棠说自己是斩妖盟盟主之女",
       "一个浑厚的声音从洞府内传来：“住手！”",
       {"请收藏本站：https://www.0d6f590b.sbs。笔趣阁手机版：https://m.0d6f590b.sbs"}},
      // Double-encoded to begin with: only its length is checked.
      {"biquge/biquku_la_chapter_mojibake.html", Sent::Utf8, 4500, "", "", {}, {}, true},
      {"xsbiquge_mobile/m_xsbiquge_chapter_265141_page1of2.html",
       Sent::Utf8,
       2400,
       "2008年，4月5日。",
       "不试试不甘心。",
       {"第一章 剧本不对(1/2),点击下一页继续阅读。"}},
      {"axrss/axrss_content_1.html", Sent::Utf8, 1550, "此岂天为之耶，抑人耶？",
       "他夜里痛哭不休，白日肆"},
      {"axrss/axrss_content_2.html", Sent::Utf8, 1600, "无忌惮。", "穿上衣冠，走出了张府。"},
      {"axrss/axrss_content_3.html", Sent::Utf8, 1600, "张四维亲自登门，找上王崇古。",
       "这要换在以前，可还真不像张四维"},
      {"axrss/axrss_content_4.html", Sent::Utf8, 1600, "能做出来的事。",
       "那就没有秉政者会选后者。"},
      {"axrss/axrss_content_5.html", Sent::Utf8, 1550, "果不其然。", "当真宛如脱胎换"},
      {"axrss/axrss_content_6.html", Sent::Utf8, 1600, "骨一般！”", "京营日益蒸蒸而上。"},
      {"axrss/axrss_content_7.html", Sent::Utf8, 1550, "更何况君臣分野", "“如今看来……辟谣"},
      {"axrss/axrss_content_8.html", Sent::Utf8, 360, "了才显真啊！”", "死不足惜！”"},
      {"siluke/siluke_chapter_page.html",
       Sent::Utf8,
       7500,
       "“卡卡卡，嗒嗒……”",
       "苏沐橙是唯一一个跟在他身后的。",
       {"上一页<"}},
      {"78xs/78xs_chapter_fenghuotaobing_ch22.html", Sent::Gbk, 3900,
       "正午，一棵香樟树孤零零地站在蜿蜒的小路旁",
       "至少胡义为自己重新找到了一个应该活下去的理由。"},
      {"qidian/qidian_read_chapter_mushenji_ch2.html", Sent::Utf8, 6100,
       "司婆婆拉着他兴冲冲的往村里走", "只要有信念，凡体即霸体！"},
      {"zongheng/zongheng_chapter_jianlai_ch14.html", Sent::Utf8, 7600,
       "年轻道人已经想好一大堆措辞", "一下子就泪流满面了。"},
      {"qxs/qxs_la_chapter_xueying.html",
       Sent::Resaved,
       5500,
       "龙山历9616年，冬。",
       "还请大家记得收藏、推荐啊~~~",
       {"全新的短域名 qxs.la 提供更快更稳定的访问，亲爱的读者们，赶紧把我记下来吧：qxs.la "
        "（全小说无弹窗）",
        "www!22ff*com"}},
      {"uukanshu/htchan_uukanshu_chapter.html",
       Sent::Resaved,
       17000,
       "全部人员装船完成之后",
       "（ps：这次肯定不会写11年了。）",
       {"U看书ｗ.ｕｕkａnｓhu.cｍ", "(未完待续。)u"}},
      {"hjwzw/htchan_hjwzw_chapter.html",
       Sent::Utf8,
       4400,
       "周凡勉力眨了一下眼睛",
       "那是木門被推開的聲音，是他們回來了嗎？",
       {"請記住本站域名: 黃金屋"}},
      {"69shu/69shuba_chapter_chuanshu_ch1.html",
       Sent::Resaved,
       4300,
       "“不行，我得跑！”",
       "新书上路，希望大家喜欢！",
       {"(本章完)"}},
      {"ixdzs/ixdzs_chapter_ch1.html", Sent::Utf8, 4400, "沈月刚穿进兽世大陆",
       "注：新书求追读，不要养书，顶顶叩谢！"},
      {"xbanxia/xbanxia_chapter_ch1.html",
       Sent::Utf8,
       3900,
       "B市，醫院。",
       "她朝着一邊的小姐妹使個眼色。",
       {},
       {"半夏小說，快樂很多"}},
  };
  return pages;
}

// Without blanks of either width: the pieces are looked for whatever the
// spacing of the page.
std::string Dense(const std::string& gbk) {
  std::string out;
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    const auto b = static_cast<unsigned char>(gbk[i]);
    if (b >= 0x81 && i + 1 < gbk.size()) {
      if (b != 0xA1 || static_cast<unsigned char>(gbk[i + 1]) != 0xA1) out += gbk.substr(i, 2);
      ++i;
    } else if (b > 0x20) {
      out += gbk[i];
    }
  }
  return out;
}

bool Holds(const std::string& text, const char* utf8) {
  return Dense(text).find(Dense(Utf8ToAnsi(utf8))) != std::string::npos;
}

TEST(RealChapters, WholeAndCleanBodiesWithDefaultSettings) {
  if (!test::RealPage(BodyPages().front().file)) GTEST_SKIP() << "saved real pages are not here";
  const auto rules = test::ShippedRules();
  int whole = 0;
  int clean = 0;
  for (const BodyPage& p : BodyPages()) {
    SCOPED_TRACE(p.file);
    auto bytes = test::RealPage(p.file);
    ASSERT_TRUE(bytes);
    if (bytes->rfind("\xEF\xBB\xBF", 0) == 0) bytes->erase(0, 3);
    if (p.sent == Sent::Resaved) *bytes = Utf8ToAnsi(*bytes);
    const std::string page = ShownText(ProcessResponse(
        *bytes, std::string("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=") +
                    (p.sent == Sent::Utf8 ? "utf-8" : "gbk")));

    const std::string raw = ExtractChapterText(page, "", "", {0, nullptr, true});
    const std::string text = ExtractChapterText(page, "", "", {0, rules.get(), true});
    const bool isWhole =
        static_cast<int>(text.size()) >= p.minimum && Holds(text, p.first) && Holds(text, p.last);
    bool isClean = isWhole && !p.garbled;
    for (const char* j : p.junk) isClean = isClean && !Holds(text, j);
    for (const char* j : p.left) isClean = isClean && !Holds(text, j);
    whole += isWhole;
    clean += isClean;
    std::printf("%-56s %6zu bytes  %s  %s\n", p.file, text.size(), isWhole ? "whole" : "CUT  ",
                isClean ? "clean" : "junk left");

    // The rules take out the junk listed and nothing else.
    std::string expected = Dense(raw);
    for (const char* j : p.junk) {
      const std::string piece = Dense(Utf8ToAnsi(j));
      const std::size_t at = expected.find(piece);
      EXPECT_NE(at, std::string::npos) << "not in the text without rules: " << j;
      if (at != std::string::npos) expected.erase(at, piece.size());
    }
    EXPECT_EQ(GbkToUtf8(Dense(text)), GbkToUtf8(expected));
  }
  std::printf("%d of %zu bodies whole, %d clean\n", whole, BodyPages().size(), clean);
  EXPECT_GE(whole, 24);
  EXPECT_GE(clean, 20);
}

}  // namespace
}  // namespace tarnlow
