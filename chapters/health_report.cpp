#include "chapters/health_report.h"

#include <algorithm>
#include <cstddef>

#include "text/codepage.h"

namespace tarnlow {
namespace {

// Chapters named one by one; the rest are only counted.
constexpr std::size_t kNamed = 20;

// Bytes that are not ASCII blanks or line breaks: what a reader would read.
std::size_t Readable(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > 0x20; }));
}

std::size_t MedianOfNonEmpty(const std::vector<std::size_t>& lengths) {
  std::vector<std::size_t> sorted;
  for (const std::size_t n : lengths) {
    if (n > 0) sorted.push_back(n);
  }
  if (sorted.empty()) return 0;
  const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>((sorted.size() - 1) / 2);
  std::nth_element(sorted.begin(), middle, sorted.end());
  return *middle;
}

}  // namespace

std::string HealthReport(const std::vector<ChapterHealth>& chapters) {
  std::vector<std::size_t> lengths;
  lengths.reserve(chapters.size());
  for (const ChapterHealth& c : chapters) lengths.push_back(Readable(c.text));
  const std::size_t median = MedianOfNonEmpty(lengths);
  const auto same = [&](std::size_t a, std::size_t b) {
    return lengths[a] > 0 && chapters[a].text == chapters[b].text;
  };

  std::string named;
  std::size_t found = 0;
  for (std::size_t i = 0; i < chapters.size(); ++i) {
    std::vector<std::string_view> problems;
    if (chapters[i].marksMissing) {
      problems.push_back(Gbk<"未找到文本标记">());
    } else if (lengths[i] == 0) {
      problems.push_back(Gbk<"空">());
    } else if (lengths[i] * 5 < median) {
      problems.push_back(Gbk<"过短">());
    }
    if (i > 0 && same(i, i - 1)) problems.push_back(Gbk<"与上一章相同">());
    if (i + 1 < chapters.size() && same(i, i + 1)) problems.push_back(Gbk<"与下一章相同">());
    if (problems.empty()) continue;
    if (++found > kNamed) continue;
    if (found > 1) named += Gbk<"、">();
    named += Gbk<"第">() + std::to_string(i + 1) + Gbk<"章《">() + std::string(chapters[i].title) +
             Gbk<"》（">();
    for (std::size_t p = 0; p < problems.size(); ++p) {
      if (p > 0) named += Gbk<"，">();
      named += problems[p];
    }
    named += Gbk<"）">();
  }
  if (found == 0) return {};
  std::string report = Gbk<"体检：">() + std::to_string(found) + Gbk<" 章可能有问题：">() + named;
  if (found > kNamed) report += Gbk<"……另有 ">() + std::to_string(found - kNamed) + Gbk<" 章">();
  return report;
}

}  // namespace tarnlow
