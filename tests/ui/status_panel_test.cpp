// The status panel shows a long line in display lines of its own, and still
// gives back exactly the text it was set to.

#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <memory>

#include "tests/ui/ui_tests.h"
#include "ui/status_panel.h"

namespace tarnlow::ui::test {

namespace {

// What a copy puts on the clipboard.
class PanelProbe : public StatusPanel {
 public:
  using StatusPanel::StatusPanel;
  QMimeData* CopiedData() const { return createMimeDataFromSelection(); }
};

// A contents page as the fetcher delivers it: one line, tags and Chinese.
QString OneLinePage(int links) {
  QString page = QStringLiteral("<html><head><title>书</title></head><body><dl>");
  for (int i = 1; i <= links; ++i)
    page += QStringLiteral("<dd><a href=\"/book/%1.html\">第%1章 夜航</a></dd>").arg(i);
  return page + QStringLiteral("</dl></body></html>");
}

}  // namespace

void StatusPanelTest::longLinesAreCutForDisplayOnly_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("cut");  // shown in more display lines than the text has
  QTest::newRow("short help text")
      << QStringLiteral("\n操作步骤：1、取目录列表\n\n也可以用") << false;
  QTest::newRow("one-line page") << OneLinePage(2000) << true;
  QTest::newRow("no tags to cut after") << QString(5000, QChar(0x4E66)) << true;
  // Pairs of UTF-16 units stay together.
  QTest::newRow("surrogate pairs") << QString::fromUcs4(U"\U00020000").repeated(3000) << true;
  QTest::newRow("long lines among short ones") << QStringLiteral("\r\n 前言\n") + OneLinePage(300) +
                                                      QStringLiteral("\n\n") + OneLinePage(300)
                                               << true;
}

void StatusPanelTest::longLinesAreCutForDisplayOnly() {
  QFETCH(QString, text);
  QFETCH(bool, cut);
  PanelProbe panel(nullptr);
  panel.resize(704, 148);
  panel.SetStatusText(text, true);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

  QCOMPARE(panel.StatusText(), text);
  const int lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
  QCOMPARE(panel.document()->blockCount() > lines, cut);
  for (QTextBlock block = panel.document()->begin(); block.isValid(); block = block.next()) {
    QVERIFY(block.length() - 1 <= StatusPanel::kDisplayLine);
    QVERIFY(block.text().isEmpty() || !block.text().back().isHighSurrogate());
  }
  QVERIFY(panel.textCursor().atEnd());

  // Every selection gives back the text as set, whatever cuts it spans.
  QTextCursor cursor = panel.textCursor();
  cursor.select(QTextCursor::Document);
  panel.setTextCursor(cursor);
  QCOMPARE(panel.SelectedText(), text);
  const std::unique_ptr<QMimeData> copied(panel.CopiedData());
  QCOMPARE(copied->text(), text);
  const int shown = panel.document()->characterCount() - 1;
  for (int start : {0, 1, shown / 3, shown / 2}) {
    for (int length : {1, 7, StatusPanel::kDisplayLine + 3, shown}) {
      const int end = std::min(shown, start + length);
      cursor.setPosition(start);
      cursor.setPosition(end, QTextCursor::KeepAnchor);
      panel.setTextCursor(cursor);
      QString expected = cursor.selectedText();
      expected.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
      const QString got = panel.SelectedText();
      // The same characters, less the display breaks the panel added.
      QVERIFY(text.contains(got));
      QVERIFY(got.size() <= expected.size());
      QCOMPARE(QString(got).remove(QLatin1Char('\n')), QString(expected).remove(QLatin1Char('\n')));
    }
  }
}

}  // namespace tarnlow::ui::test
