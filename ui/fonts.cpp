#include "ui/fonts.h"

#include <QFontDatabase>

#include "ui/qt_text.h"

namespace tarnlow::ui {

QStringList WithChineseFallbacks(const QString& family) {
  QStringList families;
  if (!family.isEmpty()) families << family;
  for (const QString& installed : QFontDatabase::families(QFontDatabase::SimplifiedChinese)) {
    if (!families.contains(installed)) families << installed;
  }
  return families;
}

QFont ToQFont(const UiFont& font) {
  QFont result;
  result.setFamilies(WithChineseFallbacks(ToQt(font.name)));
  // The size is taken as written; a size a font cannot have keeps the
  // default one rather than failing.
  if (font.size > 0) result.setPointSize(font.size);
  result.setBold(font.bold);
  result.setItalic(font.italic);
  result.setUnderline(font.underline);
  result.setStrikeOut(font.strikeOut);
  return result;
}

}  // namespace tarnlow::ui
