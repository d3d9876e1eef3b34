#pragma once
// The program's GBK text to and from Qt's strings, at the window's edge.

#include <QString>

#include <string>
#include <string_view>

namespace tarnlow::ui {

QString ToQt(std::string_view gbk);
// For multi-line texts: the program's "\r\n" line breaks become Qt's "\n".
QString ToQtLines(std::string_view gbk);
// Characters GBK lacks become "?".
std::string FromQt(const QString& text);
// For multi-line texts: Qt's "\n" line breaks become the program's "\r\n".
std::string FromQtLines(const QString& text);

}  // namespace tarnlow::ui
