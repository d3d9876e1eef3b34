#pragma once
// The one font of the windows (RunLog.uiFont) as a Qt font. The named family
// often is not installed on Linux (宋体, 微软雅黑); the installed Chinese
// families follow it as fallbacks, so Chinese text never shows as boxes.

#include <QFont>
#include <QStringList>

#include "app/records.h"

namespace tarnlow::ui {

QFont ToQFont(const UiFont& font);

// A family list that puts `family` first and then the installed families
// that cover Simplified Chinese.
QStringList WithChineseFallbacks(const QString& family);

}  // namespace tarnlow::ui
