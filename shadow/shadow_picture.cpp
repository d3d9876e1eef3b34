#include "shadow/shadow_picture.h"

#include <QPainter>
#include <QRect>

#include <array>
#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shadow/shadow_images.h"

namespace penumbrix {
namespace {

QByteArray StoredBytes(std::span<const unsigned char> png) {
  // The stored pictures live as long as the library: no copy needed.
  return QByteArray::fromRawData(reinterpret_cast<const char*>(png.data()),
                                 static_cast<qsizetype>(png.size()));
}

// Shadow pictures are small; a larger file is not read at all.
constexpr qsizetype kMaxImageFileSize = 32 * 1024 * 1024;

// The whole content of a regular file, or nothing. Directories, pipes and
// devices are refused without reading: a pipe could block the user
// interface, a device could never end.
QByteArray ReadImageFile(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {};
  QByteArray bytes;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxImageFileSize) {
    bytes.resize(static_cast<qsizetype>(info.st_size));
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t got = ::read(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += got;
    }
    bytes.truncate(done);
  }
  ::close(fd);
  return bytes;
}

}  // namespace

QByteArray StyleImageBytes(std::string_view style) {
  // The style is used as the raw bytes of a file name, as the file system
  // stores them, without any conversion.
  const std::string path(style);
  struct stat info {};
  if (!path.empty() && ::stat(path.c_str(), &info) == 0) return ReadImageFile(path.c_str());
  return StoredBytes(style == "2" ? OrangeFramePng() : BlueFramePng());
}

int SliceMargin(QSize image) {
  if (image.width() > 80 && image.height() > 80) return 20;
  if (image.width() > 50 && image.height() > 50) return 10;
  return 5;
}

QImage DrawShadowPicture(const QByteArray& imageBytes, QSize canvasSize) {
  QImage canvas(canvasSize, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  // Fewer than five bytes cannot be any image format.
  if (imageBytes.size() < 5 || canvas.isNull()) return canvas;
  const QImage image = QImage::fromData(imageBytes);
  if (image.isNull()) return canvas;

  const int m = SliceMargin(image.size());
  const int cw = canvas.width(), ch = canvas.height();
  const int iw = image.width(), ih = image.height();
  const int mw = cw - 2 * m, mh = ch - 2 * m;  // middle of the canvas
  const int sw = iw - 2 * m, sh = ih - 2 * m;  // middle of the image
  struct Piece {
    QRect to;
    QRect from;
  };
  // Corners 1:1, edges stretched along their length, the centre both ways.
  const std::array<Piece, 9> pieces{{
      {{0, 0, m, m}, {0, 0, m, m}},
      {{m, 0, mw, m}, {m, 0, sw, m}},
      {{cw - m, 0, m, m}, {iw - m, 0, m, m}},
      {{0, m, m, mh}, {0, m, m, sh}},
      {{m, m, mw, mh}, {m, m, sw, sh}},
      {{cw - m, m, m, mh}, {iw - m, m, m, sh}},
      {{0, ch - m, m, m}, {0, ih - m, m, m}},
      {{m, ch - m, mw, m}, {m, ih - m, sw, m}},
      {{cw - m, ch - m, m, m}, {iw - m, ih - m, m, m}},
  }};
  QPainter painter(&canvas);
  for (const Piece& piece : pieces) {
    // A window or an image too small for the margins has pieces of no or
    // negative size, or pieces that reach outside the image: those are left
    // out rather than drawn mirrored or from memory outside the image.
    if (!piece.to.isValid() || !piece.from.isValid() || !image.rect().contains(piece.from)) {
      continue;
    }
    painter.drawImage(piece.to, image, piece.from);
  }
  return canvas;
}

}  // namespace penumbrix
