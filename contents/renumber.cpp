#include "contents/renumber.h"

#include <string>

#include "text/codepage.h"
#include "text/regex.h"
#include "text/text.h"

namespace tarnlow {

void RenumberTitles(std::vector<ChapterEntry>& entries) {
  Regex chapterWord;  // 第…章, shortest, with an optional 、
  Regex digits;       // a leading number, with an optional 、
  chapterWord.Compile(Gbk<"第.*?章、?">());
  digits.Compile(Gbk<"\\d+、?">());

  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::string& title = entries[i].title;
    const std::string prefix = Gbk<"第">() + std::to_string(i + 1) + Gbk<"章 ">();
    if (chapterWord.Search(title).MatchStart() == 0) {
      title = prefix + Trim(chapterWord.Replace(title, "", -1, 1));
      continue;
    }
    if (digits.Search(title).MatchStart() == 0) {
      title = Trim(digits.Replace(title, "", -1, 1));
    }
    title = prefix + title;
  }
}

}  // namespace tarnlow
