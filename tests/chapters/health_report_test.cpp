// The health report after a chapter run.

#include "chapters/health_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/support.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

using test::Gbk;

struct Book {
  std::vector<std::string> titles;
  std::vector<std::string> texts;
  std::vector<bool> marksMissing;

  void Add(const std::string& title, const std::string& text, bool missing = false) {
    titles.push_back(Gbk(title));
    texts.push_back(Gbk(text));
    marksMissing.push_back(missing);
  }
  std::string Report() const {
    std::vector<ChapterHealth> chapters;
    for (std::size_t i = 0; i < texts.size(); ++i)
      chapters.push_back({titles[i], texts[i], marksMissing[i]});
    return GbkToUtf8(HealthReport(chapters));
  }
};

std::string Body(int sentences) {
  std::string text;
  for (int i = 0; i < sentences; ++i) text += "他推开门，看见院子里落满了雪。\r\n";
  return text;
}

TEST(HealthReport, NamesEachKindOfProblemByNumberAndTitle) {
  Book book;
  book.Add("第一章 雪", Body(20));
  book.Add("第二章 空", "");
  book.Add("第三章 短", Body(3));
  book.Add("第四章 门", Body(20) + "甲");
  book.Add("第五章 门", Body(20) + "甲");
  book.Add("第六章 标记", "", true);
  book.Add("第七章 风", "\r\n   \r\n");
  book.Add("第八章 夜", Body(19));
  EXPECT_EQ(book.Report(),
            "体检：6 章可能有问题：第2章《第二章 空》（空）、第3章《第三章 短》（过短）、"
            "第4章《第四章 门》（与下一章相同）、第5章《第五章 门》（与上一章相同）、"
            "第6章《第六章 标记》（未找到文本标记）、第7章《第七章 风》（空）");
}

TEST(HealthReport, HealthyBooksAndEmptyListsGiveNoReport) {
  Book book;
  EXPECT_EQ(book.Report(), "");
  for (int i = 0; i < 4; ++i)
    book.Add("章" + std::to_string(i + 1), std::string(100, static_cast<char>('a' + i)));
  // A fifth of the median (100) is the line: exactly a fifth is not too short.
  book.Add("章5", std::string(20, 'x') + "\r\n\r\n");
  EXPECT_EQ(book.Report(), "");
  book.Add("章6", std::string(19, 'x'));
  EXPECT_EQ(book.Report(), "体检：1 章可能有问题：第6章《章6》（过短）");
}

TEST(HealthReport, LongListsNameTheFirstTwentyAndCountTheRest) {
  Book book;
  for (int i = 0; i < 25; ++i) book.Add("章" + std::to_string(i + 1), "");
  const std::string report = book.Report();
  EXPECT_EQ(report.rfind("体检：25 章可能有问题：第1章《章1》（空）、", 0), 0u) << report;
  EXPECT_NE(report.find("第20章《章20》（空）……另有 5 章"), std::string::npos) << report;
  EXPECT_EQ(report.find("第21章"), std::string::npos) << report;
}

}  // namespace
}  // namespace tarnlow
