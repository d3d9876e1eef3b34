#include "ui/status_panel.h"

#include <QMimeData>
#include <QPalette>
#include <QTextCursor>

#include <algorithm>

namespace tarnlow::ui {

namespace {

// A cut goes after the last ">" in the second half of a display line, so
// that tags stay whole; else after kDisplayLine characters (never between
// the two halves of a surrogate pair).
int CutLength(const QString& text, int start, int end) {
  const int limit = start + StatusPanel::kDisplayLine;
  if (end <= limit) return end - start;
  const int tag = text.lastIndexOf(QLatin1Char('>'), limit - 1);
  if (tag >= start + StatusPanel::kDisplayLine / 2) return tag + 1 - start;
  int cut = limit;
  if (text.at(cut - 1).isHighSurrogate()) --cut;
  return cut - start;
}

}  // namespace

StatusPanel::StatusPanel(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QPalette colours = palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::Text, QColor(0, 0, 128));
    colours.setColor(group, QPalette::Base, Qt::white);
  }
  setPalette(colours);
}

void StatusPanel::SetStatusText(const QString& content, bool caretToEnd) {
  // The line breaks the document makes of these, so that positions in the
  // document and in the text agree.
  m_text = content;
  m_text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  m_text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  m_text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  const QString& text = m_text;
  m_cuts.clear();
  QString shown;
  shown.reserve(text.size() + text.size() / kDisplayLine + 1);
  int lineStart = 0;
  while (lineStart <= text.size()) {
    int lineEnd = text.indexOf(QLatin1Char('\n'), lineStart);
    if (lineEnd < 0) lineEnd = text.size();
    for (int at = lineStart; at < lineEnd;) {
      const int length = CutLength(text, at, lineEnd);
      if (at > lineStart) {
        m_cuts.push_back(static_cast<int>(shown.size()));
        shown += QLatin1Char('\n');
      }
      shown += QStringView(text).mid(at, length);
      at += length;
    }
    if (lineEnd == text.size()) break;
    shown += QLatin1Char('\n');
    lineStart = lineEnd + 1;
  }
  setPlainText(shown);
  if (caretToEnd) {
    moveCursor(QTextCursor::End);
    ensureCursorVisible();
  }
}

int StatusPanel::ToTextPosition(int shownPosition) const {
  const auto before =
      std::lower_bound(m_cuts.begin(), m_cuts.end(), shownPosition) - m_cuts.begin();
  return shownPosition - static_cast<int>(before);
}

QString StatusPanel::SelectedText() const {
  const QTextCursor cursor = textCursor();
  const int start = ToTextPosition(cursor.selectionStart());
  const int end = ToTextPosition(cursor.selectionEnd());
  return m_text.mid(start, end - start);
}

QMimeData* StatusPanel::createMimeDataFromSelection() const {
  auto* data = new QMimeData;
  data->setText(SelectedText());
  return data;
}

}  // namespace tarnlow::ui
