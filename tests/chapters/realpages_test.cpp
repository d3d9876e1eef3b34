// The engine on pages saved from real novel sites (read from the shared
// folder, skipped when it is absent): contents pages must give their chapter
// lists, chapter pages their text. The figures printed are the measurement.

#include <gtest/gtest.h>

#include <cstdio>

#include "chapters/extraction.h"
#include "contents/links.h"
#include "fetch/fetch_page.h"
#include "tests/support/support.h"
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

}  // namespace
}  // namespace tarnlow
