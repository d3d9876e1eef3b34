#include "commands/preview.h"

#include "app/app.h"
#include "chapters/extraction.h"
#include "fetch/fetch_page.h"
#include "text/codepage.h"

namespace tarnlow {

std::string PageSourceText(std::string_view url, const std::function<bool()>& stop) {
  std::string text = ShownText(FetchPage(url, stop));
  if (text.empty()) return Gbk<"\r\n 网络异常！">();
  return text;
}

std::string PreviewChapterText(App& app, std::size_t index, const std::function<bool()>& stop) {
  if (index >= app.chapters.Size()) return {};
  if (app.chapters.HasText(index)) return app.chapters.Text(index);
  const FetchResult fetched = FetchPage(app.chapters[index].url, stop);
  const auto rules = app.rules.Snapshot();
  std::string text = ExtractChapterText(ShownText(fetched), app.model.GetBox(Box::TextBegin),
                                       app.model.GetBox(Box::TextEnd),
                                       {app.state.lineMode, rules.get(), app.state.autoText});
  if (text.size() > kStoredPreviewBytes) app.chapters.SetText(index, text);
  return text;
}

}  // namespace tarnlow
