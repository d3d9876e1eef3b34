#pragma once
// The sample book: a contents page in two parts and five short chapters,
// shaped like the pages of a typical novel site (GBK, meta tags for name and
// author, a "下一页" link, <div id="content"> with <br /> lines, and one
// advertising line in every chapter).

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace tarnlow::sample {

// Path ("/book/", "/book/list_2.html", "/book/1.html", ...) to GBK page bytes.
const std::map<std::string, std::string>& Pages();

// The contents address path.
inline constexpr const char* kContentsPath = "/book/";

// The advertising line every chapter carries (UTF-8).
inline constexpr const char* kAdvertUtf8 = "本站域名：www.sample-novel.cn，手机阅读请收藏！";

struct Chapter {
  const char* title;               // UTF-8
  std::vector<const char*> lines;  // UTF-8
};

// The book's chapters in reading order.
const std::vector<Chapter>& Chapters();

}  // namespace tarnlow::sample
