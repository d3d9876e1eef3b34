// penumbrix-images: draws the two stored shadow pictures and writes them as
// PNG files and as a C++ source file that holds their bytes.
//
//   penumbrix-images OUTPUT_DIR
//
// Both pictures are 100 x 100 RGBA. Measured from an edge inwards: 13 pixels
// of black shadow (alpha ramp below), one pixel of a second shade, the
// one-pixel frame line, then full transparency. Towards the corners the
// shadow fades, reaching 0 at the outer corner.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kSize = 100;
constexpr std::array<int, 13> kShadowAlpha{2, 4, 6, 8, 11, 13, 17, 21, 25, 29, 34, 39, 45};
constexpr int kShadeDepth = 13;
constexpr int kFrameDepth = 14;
// The fade along an edge ends where the corner pieces of the nine slices
// end, so that the stretched edges are uniform.
constexpr int kFadeLength = 20;

struct Look {
  const char* name;  // file and symbol stem
  QColor frame;
  QColor shade;  // the pixel just outside the frame line, alpha included
  int frameCornerAlpha;
};

// Share of the shadow's alpha kept at distance t from a corner along an edge.
// A power curve: 0 at the corner, 57.8 % at 16 pixels, whole from 20 pixels.
double Fade(int t) {
  if (t >= kFadeLength) return 1.0;
  static const double exponent = std::log(0.578) / std::log(16.0 / kFadeLength);
  return std::pow(static_cast<double>(t) / kFadeLength, exponent);
}

QImage Draw(const Look& look) {
  QImage image(kSize, kSize, QImage::Format_ARGB32);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const int dx = std::min(x, kSize - 1 - x);
      const int dy = std::min(y, kSize - 1 - y);
      const int depth = std::min(dx, dy);  // distance from the nearest edge
      const int along = std::max(dx, dy);  // distance from the corner along that edge
      QColor color(0, 0, 0, 0);
      if (depth < kShadeDepth) {
        color.setAlpha(static_cast<int>(std::lround(kShadowAlpha[depth] * Fade(along))));
      } else if (depth == kShadeDepth) {
        color = look.shade;
        color.setAlpha(static_cast<int>(std::lround(look.shade.alpha() * Fade(along))));
      } else if (depth == kFrameDepth) {
        color = look.frame;
        color.setAlpha(along == kFrameDepth ? look.frameCornerAlpha : 255);
      }
      image.setPixelColor(x, y, color);
    }
  }
  return image;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

std::string ArrayText(const QByteArray& bytes) {
  std::string text;
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    char item[16];
    std::snprintf(item, sizeof item, "%s0x%02x,", i % 16 == 0 ? "\n    " : " ",
                  static_cast<unsigned char>(bytes[i]));
    text += item;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: penumbrix-images OUTPUT_DIR\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  const std::array<Look, 2> looks{{
      {"BlueFrame", QColor(7, 100, 255), QColor(0, 0, 0, 51), 161},
      {"OrangeFrame", QColor(235, 97, 0), QColor(148, 100, 0, 99), 255},
  }};

  std::string source =
      "// Made by penumbrix-images (shadow/make_images.cpp); do not edit.\n"
      "#include \"shadow/shadow_images.h\"\n\nnamespace penumbrix {\nnamespace {\n";
  for (const Look& look : looks) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!Draw(look).save(&buffer, "PNG")) {
      std::fprintf(stderr, "penumbrix-images: cannot encode %s\n", look.name);
      return 1;
    }
    if (!WriteFile(dir + "/" + look.name + ".png", png)) {
      std::fprintf(stderr, "penumbrix-images: cannot write %s.png\n", look.name);
      return 1;
    }
    source += std::string("\nconstexpr unsigned char k") + look.name + "[] = {" + ArrayText(png) +
              "\n};\n";
  }
  source += "\n}  // namespace\n";
  for (const Look& look : looks) {
    source += std::string("\nstd::span<const unsigned char> ") + look.name + "Png() { return k" +
              look.name + "; }\n";
  }
  source += "\n}  // namespace penumbrix\n";
  if (!WriteFile(dir + "/shadow_images.cpp", QByteArray::fromStdString(source))) {
    std::fprintf(stderr, "penumbrix-images: cannot write shadow_images.cpp\n");
    return 1;
  }
  return 0;
}
