#include "tests/faults/book_fixture.h"

#include <algorithm>

#include "app/app.h"
#include "text/codepage.h"

namespace tarnlow::faults {

namespace fs = std::filesystem;

std::string Title(int n) { return Gbk("第") + std::to_string(n) + Gbk("章"); }

std::string ChapterPage(int n) {
  std::string lines;
  for (int line = 1; line <= 5; ++line) {
    if (line > 1) lines += "<br />";
    lines += Title(n) + Gbk("第") + std::to_string(line) + Gbk("行");
  }
  return "<html><head><title>" + Title(n) +
         "</title></head><body><div id=\"content\">&nbsp;&nbsp;" + lines +
         Gbk("</div><div><a href=\"/next\">下一章</a></div></body></html>");
}

std::string ChapterText(int n) {
  std::string text;
  for (int line = 1; line <= 5; ++line) {
    text += Title(n) + Gbk("第") + std::to_string(line) + Gbk("行") + "\r\n";
  }
  return text;
}

std::multimap<std::string, std::string> FailureLines(const std::string& gbkLog) {
  const std::string log = GbkToUtf8(gbkLog);
  const std::string head = "】取章节：失败！书名《";
  const std::string name = "》，章节名《";
  const std::string link = "》，章节链接：";
  std::multimap<std::string, std::string> lines;
  for (std::size_t at = log.find(head); at != std::string::npos; at = log.find(head, at + 1)) {
    const std::size_t n = log.find(name, at);
    const std::size_t l = log.find(link, n);
    const std::size_t end = log.find("\r\n", l);
    if (n == std::string::npos || l == std::string::npos || end == std::string::npos) {
      lines.emplace("<malformed>", log.substr(at, 200));
      continue;
    }
    const std::size_t titleStart = n + name.size();
    const std::size_t urlStart = l + link.size();
    lines.emplace(log.substr(titleStart, l - titleStart), log.substr(urlStart, end - urlStart));
  }
  return lines;
}

std::string BookOf(const ChapterList& chapters) {
  std::string book;
  for (const ChapterEntry& e : chapters.Entries()) book += e.title + "\r\n" + e.text + "\r\n";
  return book;
}

std::string ExpectedBook(int count, const std::set<int>& failed) {
  std::string book;
  for (int n = 1; n <= count; ++n) {
    book += Title(n) + "\r\n" + (failed.count(n) != 0 ? std::string() : ChapterText(n)) + "\r\n";
  }
  return book;
}

std::chrono::duration<double> Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::steady_clock::now() - start;
}

BookFixture::BookFixture() : folder(dir.Path() / "Download") {
  fs::create_directory(folder);
  app.state.downloadFolder = folder.string();
  app.state.delayMs = 1;
  app.state.retryCount = 0;
  app.state.threadCount = 3;
  model.SetBox(Box::Address, server.Url("/book/"));
  model.SetBox(Box::SaveName, Gbk("测试书"));
  model.SetExecuteCaption(CaptionChapters());
  server.Get(R"(/book/(\d+)\.html)", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(ChapterPage(std::stoi(req.matches[1])), "text/html");
  });
}

std::string BookFixture::ChapterUrl(int n) const {
  return server.Url("/book/" + std::to_string(n) + ".html");
}

void BookFixture::AddChapters(int count) {
  for (int n = 1; n <= count; ++n) AddChapter(Title(n), ChapterUrl(n));
}

void BookFixture::AddChapter(const std::string& title, const std::string& url) {
  app.chapters.Append({title, url, {}});
  model.ListAdd(title);
}

void BookFixture::ReadyForChapters() {
  app.state.busy = false;
  model.SetExecuteCaption(CaptionChapters());
}

fs::path BookFixture::BookPath() const { return folder / "测试书.txt"; }

std::string BookFixture::Book() const { return test::ReadFile(BookPath()).value_or("<none>"); }

std::vector<std::string> BookFixture::FolderEntries() const {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

int BookFixture::Requests(int n) const {
  return server.RequestCount("/book/" + std::to_string(n) + ".html");
}

}  // namespace tarnlow::faults
