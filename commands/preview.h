#pragma once
// What the page-source view and the chapter-text view show. Both fetch, so
// the window runs them on the command thread and shows the result when done.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tarnlow {

struct App;

// The page, or the fetch's failure text; "\r\n 网络异常！" when that is empty.
std::string PageSourceText(std::string_view url, const std::function<bool()>& stop = {});

// A text longer than this is kept in its entry by the chapter-text view.
inline constexpr std::size_t kStoredPreviewBytes = 200;

// The text of entry `index` (0-based) as the chapter run would cut it from
// its page with the window's text marks (or without them), fetched unless
// the entry holds its text already. A text longer than kStoredPreviewBytes
// is stored in the entry, so that neither the view nor the chapter run
// fetches it again; a shorter one (a failed fetch, say) is only shown.
std::string PreviewChapterText(App& app, std::size_t index, const std::function<bool()>& stop = {});

}  // namespace tarnlow
