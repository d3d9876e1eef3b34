#pragma once
// The shadow's picture: a small image stretched around a window by nine-slice
// scaling, so that its corners keep their shape at every window size.

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <string_view>

namespace penumbrix {

// The image bytes a style names: the content of the file when the style is
// the path of an existing file (empty when it is not a regular file, is
// larger than any shadow picture needs or cannot be read), otherwise the
// stored orange-frame picture for "2" and the stored blue-frame picture for
// anything else.
QByteArray StyleImageBytes(std::string_view style);

// Width of the corner pieces cut from an image of the given size.
int SliceMargin(QSize image);

// A transparent ARGB canvas of the given size with the decoded image drawn
// onto it in nine pieces. Bytes that do not decode leave it transparent.
QImage DrawShadowPicture(const QByteArray& imageBytes, QSize canvas);

}  // namespace penumbrix
