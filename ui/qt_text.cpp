#include "ui/qt_text.h"

#include "text/codepage.h"

namespace tarnlow::ui {

QString ToQt(std::string_view gbk) {
  if (gbk.empty()) return {};
  return QString::fromStdU16String(GbkToUtf16(gbk));
}

QString ToQtLines(std::string_view gbk) {
  QString text = ToQt(gbk);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string FromQt(const QString& text) {
  if (text.isEmpty()) return {};
  return Utf16ToGbk(text.toStdU16String());
}

std::string FromQtLines(const QString& text) {
  QString lines = text;
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return FromQt(lines);
}

}  // namespace tarnlow::ui
