// libPenumbrix.so loaded as the program loads it: by path from the build's
// bin folder, its export resolved by name.

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <dlfcn.h>
#include <sys/stat.h>

#include <array>
#include <memory>
#include <thread>

#include "shadow/owner_registry.h"

namespace {

using PenumbrixFunction = int (*)(void*, const char*);

constexpr char kShadowProperty[] = "Zephloom.WndShadow";
constexpr char kFilterProperty[] = "Zephloom.WndShadow.Proc";
constexpr std::array<int, 13> kShadowRamp{2, 4, 6, 8, 11, 13, 17, 21, 25, 29, 34, 39, 45};

QWidget* ShadowOf(const QWidget& owner) {
  return qobject_cast<QWidget*>(owner.property(kShadowProperty).value<QObject*>());
}

// What the shadow window paints, pixel for pixel.
QImage Picture(QWidget* shadow) {
  return shadow->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

QRect Expected(const QWidget& owner) { return owner.frameGeometry().adjusted(-15, -15, 15, 15); }

bool FullyTransparent(const QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(image.pixel(x, y)) != 0) return false;
    }
  }
  return true;
}

// An opaque image whose pixel (x, y) has red 2x and green 2y, so that a drawn
// pixel tells which source pixel it came from.
QString WriteCoordinateImage(const QTemporaryDir& dir, int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.setPixelColor(x, y, QColor(2 * x, 2 * y, 0));
  }
  const QString path = dir.filePath(QStringLiteral("coords-%1x%2.png").arg(width).arg(height));
  return image.save(path) ? path : QString();
}

}  // namespace

class ShadowTest : public QObject {
  Q_OBJECT

 private:
  PenumbrixFunction m_penumbrix = nullptr;
  QTemporaryDir m_dir;

  // A shown 400 x 300 window with a shadow of the given style.
  std::unique_ptr<QWidget> ShownOwner(const char* style, QPoint at = {100, 80}) {
    auto owner = std::make_unique<QWidget>();
    owner->setGeometry(QRect(at, QSize(400, 300)));
    owner->show();
    if (!QTest::qWaitForWindowExposed(owner.get()) || m_penumbrix(owner.get(), style) != 1) {
      return nullptr;
    }
    return owner;
  }

 private slots:
  void initTestCase() {
    void* library = dlopen(TARNLOW_TEST_BIN_DIR "/libPenumbrix.so", RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(library, dlerror());
    m_penumbrix = reinterpret_cast<PenumbrixFunction>(dlsym(library, "Penumbrix"));
    QVERIFY(m_penumbrix);
    QVERIFY(m_dir.isValid());
  }

  void shadowSurroundsItsOwnerAndFollowsIt() {
    // Frameless, so that the window's frame is its 400 x 300 area.
    QWidget owner(nullptr, Qt::FramelessWindowHint);
    owner.setGeometry(100, 80, 400, 300);
    // Given before the window is shown, as the program does.
    QCOMPARE(m_penumbrix(&owner, "1"), 1);
    QWidget* shadow = ShadowOf(owner);
    QVERIFY(shadow);
    QVERIFY(!shadow->isVisible());
    QCOMPARE(shadow->parent(), &owner);
    QCOMPARE(shadow->property("Zephloom.WndShadow.Size").toInt(), 15);
    QVERIFY(shadow->isWindow());
    const Qt::WindowFlags flags = shadow->windowFlags();
    for (Qt::WindowType flag : {Qt::Tool, Qt::FramelessWindowHint, Qt::WindowTransparentForInput,
                                Qt::WindowDoesNotAcceptFocus}) {
      QVERIFY(flags.testFlag(flag));
    }
    QVERIFY(shadow->testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(shadow->testAttribute(Qt::WA_ShowWithoutActivating));

    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QVERIFY(shadow->isVisible());
    QCOMPARE(owner.frameGeometry(), QRect(100, 80, 400, 300));
    QCOMPARE(shadow->geometry(), QRect(85, 65, 430, 330));
    QCOMPARE(Picture(shadow).size(), QSize(430, 330));

    owner.move(160, 90);
    QCOMPARE(shadow->geometry(), Expected(owner));
    owner.resize(250, 120);
    QCOMPARE(shadow->geometry(), Expected(owner));
    QCOMPARE(Picture(shadow).size(), QSize(280, 150));

    owner.hide();
    QVERIFY(!shadow->isVisible());
    owner.move(40, 50);
    QVERIFY(!shadow->isVisible());
    owner.show();
    QVERIFY(shadow->isVisible());
    QCOMPARE(shadow->geometry(), Expected(owner));
  }

  void shadowHiddenWhileMaximisedOrMinimised() {
    const auto owner = ShownOwner("1");
    QVERIFY(owner);
    QWidget* shadow = ShadowOf(*owner);
    for (Qt::WindowState state : {Qt::WindowMaximized, Qt::WindowMinimized, Qt::WindowFullScreen}) {
      owner->setWindowState(state);
      QVERIFY2(!shadow->isVisible(), qPrintable(QString::number(state)));
      owner->setWindowState(Qt::WindowNoState);
      QVERIFY(shadow->isVisible());
      QCOMPARE(shadow->geometry(), Expected(*owner));
    }
  }

  void stylePicksThePicture_data() {
    QTest::addColumn<QByteArray>("style");
    QTest::addColumn<bool>("nullStyle");
    QTest::addColumn<QColor>("frame");
    QTest::addColumn<int>("shadeAlpha");  // pixel 13 from the edge
    const QColor blue(7, 100, 255), orange(235, 97, 0);
    QTest::newRow("1") << QByteArray("1") << false << blue << 51;
    QTest::newRow("empty") << QByteArray() << false << blue << 51;
    QTest::newRow("null") << QByteArray() << true << blue << 51;
    QTest::newRow("missing file") << QByteArray("/nonexistent/frame.png") << false << blue << 51;
    QTest::newRow("2") << QByteArray("2") << false << orange << 99;
    QTest::newRow("2 with more") << QByteArray("22") << false << blue << 51;
  }

  void stylePicksThePicture() {
    QFETCH(QByteArray, style);
    QFETCH(bool, nullStyle);
    QFETCH(QColor, frame);
    QFETCH(int, shadeAlpha);
    const auto owner = ShownOwner(nullStyle ? nullptr : style.constData());
    QVERIFY(owner);
    const QImage picture = Picture(ShadowOf(*owner));
    const int w = picture.width(), h = picture.height();
    // Middles of the four edges, measured inwards from the edge.
    const std::array<std::pair<QPoint, QPoint>, 4> edges{{
        {{w / 2, 0}, {0, 1}},
        {{w / 2, h - 1}, {0, -1}},
        {{0, h / 2}, {1, 0}},
        {{w - 1, h / 2}, {-1, 0}},
    }};
    for (const auto& [start, inwards] : edges) {
      for (int depth = 0; depth < 13; ++depth) {
        const QColor shadow = picture.pixelColor(start + depth * inwards);
        QCOMPARE(shadow.alpha(), kShadowRamp[depth]);
        QCOMPARE(shadow.rgb(), QColor(Qt::black).rgb());
      }
      QCOMPARE(picture.pixelColor(start + 13 * inwards).alpha(), shadeAlpha);
      QCOMPARE(picture.pixelColor(start + 14 * inwards), frame);
      QCOMPARE(picture.pixelColor(start + 15 * inwards).alpha(), 0);
    }
    QCOMPARE(picture.pixelColor(w / 2, h / 2).alpha(), 0);
    // Towards a corner the shadow fades, reaching nothing at the corner.
    constexpr std::array<int, 13> kNearCorner{1, 2, 3, 5, 6, 8, 10, 12, 14, 17, 20, 23, 26};
    for (int depth = 0; depth < 13; ++depth) {
      QCOMPARE(picture.pixelColor(16, depth).alpha(), kNearCorner[depth]);
      QCOMPARE(picture.pixelColor(w - 1 - depth, h - 1 - 16).alpha(), kNearCorner[depth]);
    }
    QCOMPARE(picture.pixelColor(0, 0).alpha(), 0);
  }

  void sliceMarginFollowsImageSize_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("margin");
    QTest::newRow("100x100") << 100 << 100 << 20;
    QTest::newRow("81x81") << 81 << 81 << 20;
    QTest::newRow("100x80") << 100 << 80 << 10;
    QTest::newRow("80x100") << 80 << 100 << 10;
    QTest::newRow("100x70") << 100 << 70 << 10;
    QTest::newRow("60x60") << 60 << 60 << 10;
    QTest::newRow("51x51") << 51 << 51 << 10;
    QTest::newRow("60x50") << 60 << 50 << 5;
    QTest::newRow("50x60") << 50 << 60 << 5;
    QTest::newRow("40x40") << 40 << 40 << 5;
  }

  void sliceMarginFollowsImageSize() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, margin);
    const QString path = WriteCoordinateImage(m_dir, width, height);
    QVERIFY(!path.isEmpty());
    const auto owner = ShownOwner(path.toLocal8Bit().constData());
    QVERIFY(owner);
    const QImage picture = Picture(ShadowOf(*owner));
    // The corner piece is copied pixel for pixel; the stretched edge after it
    // repeats its first source pixel, so the copy ends at the margin.
    int across = 0;
    while (picture.pixelColor(across, 0).red() == 2 * across) ++across;
    int down = 0;
    while (picture.pixelColor(0, down).green() == 2 * down) ++down;
    QCOMPARE(across - 1, margin);
    QCOMPARE(down - 1, margin);
    // The far corners come from the far corners of the image.
    QCOMPARE(picture.pixelColor(picture.width() - 1, picture.height() - 1),
             QColor(2 * (width - 1), 2 * (height - 1), 0));
  }

  // Also what cannot be read at all: a directory, a pipe nobody writes to
  // (reading it would block), a device without end.
  void unreadableOrUndecodableFileGivesTransparentShadow() {
    const QString garbage = m_dir.filePath(QStringLiteral("garbage.png"));
    const QString tiny = m_dir.filePath(QStringLiteral("tiny.png"));
    for (const auto& [path, bytes] :
         {std::pair{garbage, QByteArray(300, 'x')}, std::pair{tiny, QByteArray("\x89PNG", 4)}}) {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    const QString pipe = m_dir.filePath(QStringLiteral("pipe"));
    QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& path : {garbage, tiny, m_dir.path(), pipe, QStringLiteral("/dev/zero")}) {
      const auto owner = ShownOwner(path.toLocal8Bit().constData());
      QVERIFY(owner);
      QWidget* shadow = ShadowOf(*owner);
      QVERIFY(shadow->isVisible());
      QCOMPARE(shadow->geometry(), Expected(*owner));
      QVERIFY2(FullyTransparent(Picture(shadow)), qPrintable(path));
    }
  }

  void secondCallReplacesStyleWithoutSecondShadow() {
    const auto owner = ShownOwner("1");
    QVERIFY(owner);
    QWidget* shadow = ShadowOf(*owner);
    const QVariant filter = owner->property(kFilterProperty);
    QVERIFY(filter.value<QObject*>());
    QCOMPARE(m_penumbrix(owner.get(), "2"), 1);
    QCOMPARE(ShadowOf(*owner), shadow);
    QCOMPARE(owner->findChildren<QWidget*>(QStringLiteral("Zephloom.Shadow")).size(), 1);
    QCOMPARE(owner->property(kFilterProperty), filter);
    const QImage picture = Picture(shadow);
    QCOMPARE(picture.pixelColor(picture.width() / 2, 14), QColor(235, 97, 0));
    QCOMPARE(shadow->geometry(), Expected(*owner));
  }

  void rejectsWhatIsNotATopLevelWidgetOfThisThread() {
    QCOMPARE(m_penumbrix(nullptr, "1"), 0);
    QObject notAWidget;
    QCOMPARE(m_penumbrix(&notAWidget, "1"), 0);
    QWidget owner;
    auto* child = new QWidget(&owner);
    QCOMPARE(m_penumbrix(child, "1"), 0);
    int fromOtherThread = -1;
    std::thread([&] { fromOtherThread = m_penumbrix(&owner, "1"); }).join();
    QCOMPARE(fromOtherThread, 0);
    QVERIFY(!ShadowOf(owner));
    QVERIFY(!owner.property(kFilterProperty).isValid());
    auto gone = std::make_unique<QWidget>();
    void* goneHandle = gone.get();
    gone.reset();
    QCOMPARE(m_penumbrix(goneHandle, "1"), 0);
  }

  void destroyedOwnersLeaveTheRegistry() {
    penumbrix::OwnerRegistry registry;
    auto first = std::make_unique<QWidget>();
    auto second = std::make_unique<QWidget>();
    QWidget live, added;
    QVERIFY(registry.Register(first.get(), "a"));
    QVERIFY(registry.Register(second.get(), "b"));
    QVERIFY(registry.Register(&live, "c"));
    QVERIFY(!registry.Register(&live, "2"));  // known: style replaced, nothing removed
    QCOMPARE(registry.Size(), 3u);
    first.reset();
    second.reset();
    QCOMPARE(registry.Size(), 3u);
    QVERIFY(registry.Register(&added, "d"));
    QCOMPARE(registry.Size(), 2u);
    QCOMPARE(registry.StyleOf(&live), std::optional<std::string>("2"));
    QCOMPARE(registry.StyleOf(&added), std::optional<std::string>("d"));

    // Through the export: a live owner keeps its picture when dead ones go.
    auto dead = ShownOwner("1");
    const auto kept = ShownOwner("2");
    QVERIFY(dead && kept);
    dead.reset();
    const auto fresh = ShownOwner("1");
    QVERIFY(fresh);
    kept->move(30, 40);
    const QImage picture = Picture(ShadowOf(*kept));
    QCOMPARE(picture.pixelColor(picture.width() / 2, 14), QColor(235, 97, 0));
  }
};

QTEST_MAIN(ShadowTest)
#include "shadow_test.moc"
