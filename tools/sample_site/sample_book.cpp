#include "tools/sample_site/sample_book.h"

#include <vector>

#include "text/codepage.h"

namespace tarnlow::sample {
namespace {

constexpr const char* kBookName = "灯塔守夜人";
constexpr const char* kAuthor = "林晚舟";

std::string Page(const std::string& head, const std::string& body) {
  return Utf8ToAnsi(
      "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />\r\n" +
      head +
      "</head>\r\n<body>\r\n<div class=\"header\"><a href=\"/\">首页</a> "
      "<a href=\"/shelf.html\">我的书架</a></div>\r\n" +
      body + "<div class=\"footer\">示例小说站 仅供演示</div>\r\n</body>\r\n</html>\r\n");
}

std::string ChapterLink(std::size_t n) {
  return "<dd><a href=\"/book/" + std::to_string(n) + ".html\">" + Chapters()[n - 1].title +
         "</a></dd>\r\n";
}

std::string ContentsPage(std::size_t first, std::size_t last, const std::string& pager) {
  std::string list;
  for (std::size_t n = first; n <= last; ++n) list += ChapterLink(n);
  return Page(std::string("<title>") + kBookName + "最新章节_" + kBookName +
                  "全文阅读_示例小说站</title>\r\n"
                  "<meta property=\"og:novel:book_name\" content=\"" +
                  kBookName + "\"/>\r\n<meta property=\"og:novel:author\" content=\"" + kAuthor +
                  "\"/>\r\n",
              std::string("<div id=\"info\"><h1>") + kBookName + "</h1><p>作者：" + kAuthor +
                  "</p></div>\r\n<div id=\"list\"><dl>\r\n" + list + "</dl></div>\r\n" + pager);
}

std::string ChapterPage(std::size_t n) {
  const Chapter& chapter = Chapters()[n - 1];
  std::string body = "<div class=\"bookname\"><h1>" + std::string(chapter.title) +
                     "</h1></div>\r\n"
                     "<div id=\"content\">";
  std::size_t line = 0;
  for (const char* text : chapter.lines) {
    body += std::string("&nbsp;&nbsp;&nbsp;&nbsp;") + text + "<br />\r\n<br />";
    if (++line == 2)
      body += std::string("&nbsp;&nbsp;&nbsp;&nbsp;") + kAdvertUtf8 + "<br />\r\n<br />";
  }
  body += "</div>\r\n<div class=\"bottem\"><a href=\"/book/\">目录</a>";
  if (n < Chapters().size())
    body += " <a href=\"/book/" + std::to_string(n + 1) + ".html\">下一章</a>";
  body += "</div>\r\n";
  return Page("<title>" + std::string(chapter.title) + "_" + kBookName + "_示例小说站</title>\r\n",
              body);
}

}  // namespace

const std::vector<Chapter>& Chapters() {
  static const std::vector<Chapter> chapters = {
      {"第一章 雾起",
       {"海雾是在黄昏时分漫上来的，先吞掉了码头，又吞掉了渔村的灯火。",
        "阿岚把最后一桶灯油提上塔顶，手心里全是汗。",
        "老周说过，雾越浓，灯越要亮，因为总有人在海上找回家的路。",
        "她点燃灯芯，看着光柱一圈一圈地扫过灰白的海面。"}},
      {"第二章 来信",
       {"第二天清晨，邮差在塔下喊她的名字，递上一封被海风吹皱的信。",
        "信是老周写的，字迹歪斜，只有短短三行。",
        "“灯不能灭。柜子最底层有一本日志。读完它，你就明白了。”",
        "阿岚把信折好，塞进外衣口袋，转身去找那本日志。"}},
      {"第三章 日志",
       {"日志的封皮已经发黄，第一页写着四十年前的日期。",
        "每一晚的记录都很简单：风向、雾的浓淡、经过的船只。",
        "可是每隔几页，就会出现同一句话：今夜，那艘没有名字的船又来了。",
        "阿岚合上日志，窗外的雾又开始聚拢。"}},
      {"第四章 无名之船",
       {"午夜过后，她在望远镜里看见了它。",
        "那是一艘老式的木帆船，船身上没有任何字，桅杆上挂着一盏昏黄的马灯。",
        "它在灯塔的光里停了很久，像是在确认什么，然后缓缓调转了方向。",
        "阿岚忽然明白，它等的不是港口，而是这束光。"}},
      {"第五章 守夜",
       {"春天来的时候，老周回到了村里，拄着拐杖爬上了塔。",
        "他看见阿岚把日志续写到了新的一页，字迹工整。",
        "“它还来吗？”他问。阿岚点点头：“每个起雾的夜晚。”",
        "老周笑了，说这座塔终于又有了守夜人。"}},
  };
  return chapters;
}

const std::map<std::string, std::string>& Pages() {
  static const std::map<std::string, std::string> pages = [] {
    std::map<std::string, std::string> p;
    p[kContentsPath] =
        ContentsPage(1, 3, "<div class=\"page\"><a href=\"list_2.html\">下一页</a></div>\r\n");
    p["/book/list_2.html"] =
        ContentsPage(4, 5, "<div class=\"page\"><a href=\"/book/\">上一页</a></div>\r\n");
    for (std::size_t n = 1; n <= Chapters().size(); ++n) {
      p["/book/" + std::to_string(n) + ".html"] = ChapterPage(n);
    }
    return p;
  }();
  return pages;
}

}  // namespace tarnlow::sample
