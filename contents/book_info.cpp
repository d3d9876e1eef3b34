#include "contents/book_info.h"

#include <vector>

#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {

std::string DetectBookInfo(std::string_view page, int fileNameFormat) {
  const std::string author = TextBetween(page, "novel:author\" content=\"", "\"");
  const std::string name = TextBetween(page, "novel:book_name\" content=\"", "\"");
  if (!name.empty()) {
    static const char* const kSeparators[] = {" - ", "-", " _ ", "_"};
    if (!author.empty() && fileNameFormat >= 1 && fileNameFormat <= 4) {
      return author + kSeparators[fileNameFormat - 1] + name;
    }
    return name;
  }

  const std::string title = TextBetween(page, "<title>", "</title>", 0, false, true);
  static const std::vector<std::string> cutWords =
      Split(Gbk<"最新\r\n全本\r\n完结\r\n在线\r\n免费\r\n阅读\r\n无弹窗\r\n无广告\r\n-\r\n_"
                "\r\n，\r\n,\r\n、">(),
            "\r\n");
  // Words are tried in list order, not by where they stand in the title.
  for (const std::string& word : cutWords) {
    const int at = Find(title, word);
    if (at >= 2) return Left(title, at - 1);
  }
  return title;
}

}  // namespace tarnlow
