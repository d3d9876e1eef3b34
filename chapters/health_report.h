#pragma once
// The health report after a chapter run: the chapters whose text looks wrong,
// by number and title, so the reader knows where to look before reading.

#include <string>
#include <string_view>
#include <vector>

namespace tarnlow {

struct ChapterHealth {
  std::string_view title;  // GBK
  std::string_view text;   // the finished text, GBK
  // The typed text marks were not on the chapter's page (ExtractChapter).
  bool marksMissing = false;
};

// One line in GBK, "体检：N 章可能有问题：" and then each such chapter as
// "第n章《title》（…）", n counted from 1 in list order, joined by "、" (the
// first twenty; a count of the rest follows). A chapter is named when its
// text is empty ("空"), its marks were missing ("未找到文本标记"), it is
// shorter than a fifth of the median length of the non-empty texts ("过短"),
// or it equals the text of the chapter before or after it ("与上一章相同",
// "与下一章相同"). Empty when every chapter looks right.
std::string HealthReport(const std::vector<ChapterHealth>& chapters);

}  // namespace tarnlow
