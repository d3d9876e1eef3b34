#pragma once
// Finding a chapter's body on a page when no text marks are given and the
// built-in search comes back with nothing usable: the block of the page that
// holds the most running text (text that is not link text), with the text of
// the blocks nested in it, as one fragment for the usual finishing.

#include <string>
#include <string_view>

namespace tarnlow {

struct FoundBody {
  // The body's text with "<br />" at its line ends and no other markup;
  // empty when the page holds no block of running text (a menu, a notice).
  std::string fragment;
  // Its running text: bytes of text that are not blanks.
  int textBytes = 0;
};

// The page as FetchPage gives it (GBK, line breaks removed). Scripts, styles,
// link text and blocks that are mostly links inside the body are left out;
// the body ends at a link or link block that leaves less than a tenth of its
// text after it (the navigation after a chapter). Line breaks ("<br>", "<p>"
// open or closed or self-closed, headings, block edges) become "<br />", at
// most two in a row.
FoundBody FindChapterBody(std::string_view page);

// Running text of an HTML fragment: bytes of text outside tags, scripts,
// styles and links that are not blanks.
int RunningTextBytes(std::string_view html);

}  // namespace tarnlow
