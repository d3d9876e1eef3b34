// Draws the picture of the appreciation window (ui/appreciation.png): an
// open book on a warm ground with a ribbon and a heart, 519 x 519 pixels.
// Shapes only, so the result does not depend on the fonts installed.
//
//   cmake --build build/dev --target tarnlow-draw-appreciation
//   build/dev/bin/tarnlow-draw-appreciation ui/appreciation.png

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

constexpr int kSide = 519;

QPainterPath Heart(QPointF centre, double size) {
  QPainterPath path;
  const double x = centre.x();
  const double y = centre.y();
  path.moveTo(x, y + size * 0.35);
  path.cubicTo(x - size * 0.05, y + size * 0.25, x - size * 0.5, y - size * 0.05, x - size * 0.5,
               y - size * 0.3);
  path.cubicTo(x - size * 0.5, y - size * 0.55, x - size * 0.1, y - size * 0.62, x,
               y - size * 0.35);
  path.cubicTo(x + size * 0.1, y - size * 0.62, x + size * 0.5, y - size * 0.55, x + size * 0.5,
               y - size * 0.3);
  path.cubicTo(x + size * 0.5, y - size * 0.05, x + size * 0.05, y + size * 0.25, x,
               y + size * 0.35);
  return path;
}

// One page of the open book: its outer edge curls up towards the spine.
QPainterPath Page(bool left) {
  const double spine = kSide / 2.0;
  const double outer = left ? 62 : kSide - 62;
  QPainterPath path;
  path.moveTo(spine, 236);
  path.cubicTo(spine + (left ? -60 : 60), 206, outer + (left ? 40 : -40), 206, outer, 226);
  path.lineTo(outer, 416);
  path.cubicTo(outer + (left ? 40 : -40), 398, spine + (left ? -60 : 60), 400, spine, 428);
  path.closeSubpath();
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tarnlow-draw-appreciation OUTPUT.png\n");
    return 2;
  }
  QImage image(kSide, kSide, QImage::Format_ARGB32);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);

  QRadialGradient ground(QPointF(kSide / 2.0, kSide * 0.42), kSide * 0.75);
  ground.setColorAt(0, QColor(255, 248, 232));
  ground.setColorAt(1, QColor(244, 214, 170));
  painter.fillRect(image.rect(), ground);

  // The book's shadow, the cover behind the pages, then the pages.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(120, 70, 30, 60));
  painter.drawEllipse(QRectF(70, 412, kSide - 140, 44));
  painter.setBrush(QColor(150, 52, 40));
  QPainterPath cover;
  cover.moveTo(kSide / 2.0, 244);
  cover.lineTo(50, 232);
  cover.lineTo(50, 428);
  cover.cubicTo(160, 410, 220, 420, kSide / 2.0, 442);
  cover.cubicTo(kSide - 220, 420, kSide - 160, 410, kSide - 50, 428);
  cover.lineTo(kSide - 50, 232);
  cover.closeSubpath();
  painter.drawPath(cover);

  for (bool left : {true, false}) {
    QLinearGradient paper(QPointF(left ? 62 : kSide - 62, 0), QPointF(kSide / 2.0, 0));
    paper.setColorAt(0, QColor(255, 253, 246));
    paper.setColorAt(1, QColor(232, 224, 206));
    painter.setBrush(paper);
    painter.setPen(QPen(QColor(190, 170, 140), 1.5));
    painter.drawPath(Page(left));

    // Lines of text, as grey strokes that follow the page's curve.
    painter.setPen(QPen(QColor(150, 140, 125), 4, Qt::SolidLine, Qt::RoundCap));
    for (int line = 0; line < 7; ++line) {
      const double y = 250 + line * 22;
      const double from = left ? 92 : kSide / 2.0 + 26;
      const double to = left ? kSide / 2.0 - 26 : kSide - 92 - (line == 6 ? 70 : 0);
      QPainterPath stroke;
      stroke.moveTo(from, y + (left ? 0 : 6));
      stroke.quadTo((from + to) / 2, y - 10, to, y + (left ? 6 : 0));
      painter.setBrush(Qt::NoBrush);
      painter.drawPath(stroke);
    }
  }

  // The ribbon hanging from the spine.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(200, 40, 48));
  QPolygonF ribbon;
  ribbon << QPointF(kSide / 2.0 + 8, 240) << QPointF(kSide / 2.0 + 26, 240)
         << QPointF(kSide / 2.0 + 26, 478) << QPointF(kSide / 2.0 + 17, 466)
         << QPointF(kSide / 2.0 + 8, 478);
  painter.drawPolygon(ribbon);

  // The heart above the book, with a soft glow.
  QRadialGradient glow(QPointF(kSide / 2.0, 120), 110);
  glow.setColorAt(0, QColor(255, 200, 120, 150));
  glow.setColorAt(1, QColor(255, 200, 120, 0));
  painter.setBrush(glow);
  painter.drawEllipse(QPointF(kSide / 2.0, 120), 110, 110);
  QLinearGradient red(QPointF(0, 60), QPointF(0, 180));
  red.setColorAt(0, QColor(240, 90, 90));
  red.setColorAt(1, QColor(190, 30, 45));
  painter.setBrush(red);
  painter.drawPath(Heart(QPointF(kSide / 2.0, 128), 150));
  painter.end();

  return image.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
