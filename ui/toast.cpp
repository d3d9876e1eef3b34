#include "ui/toast.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <utility>

#include "app/records.h"
#include "ui/fonts.h"
#include "ui/libraries.h"

namespace tarnlow::ui {

namespace {

constexpr QSize kToast(150, 58);

}  // namespace

Toast::Toast(const RuntimeLibraries& libraries, const UiFont& font, bool autoAdd,
             std::function<void()> add)
    : QDialog(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("提示窗口"));
  setModal(true);
  setFixedSize(kToast);
  // Taking the focus from the window the address was copied in would be rude.
  setAttribute(Qt::WA_ShowWithoutActivating);

  m_label = new QLabel(QStringLiteral("已复制"), this);
  m_label->setObjectName(QStringLiteral("标签1"));
  m_label->setGeometry(0, 0, 144, 56);
  m_label->setAlignment(Qt::AlignCenter);
  m_button = new QPushButton(QStringLiteral("添加到任务\n3秒后自动关闭"), this);
  m_button->setObjectName(QStringLiteral("按钮1"));
  m_button->setGeometry(19, 8, 115, 42);
  m_button->setAutoDefault(false);
  m_button->hide();
  m_timer = new QTimer(this);
  m_timer->setObjectName(QStringLiteral("时钟1"));
  m_timer->setSingleShot(true);

  libraries.Penumbrix(this, "1");
  QFont bold = ToQFont(font);
  bold.setBold(true);
  m_label->setFont(bold);
  m_button->setFont(ToQFont(font));

  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  move(screen.x() + screen.width() / 2 - width() / 2, screen.y());

  if (autoAdd) {
    m_timer->setInterval(kAutoAddMs);
  } else {
    m_label->hide();
    m_button->show();
    m_timer->setInterval(kOfferMs);
  }
  connect(m_timer, &QTimer::timeout, this, &QDialog::reject);
  connect(m_button, &QPushButton::clicked, this, [this, add = std::move(add)] {
    if (add) add();
    accept();
  });
}

void Toast::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  m_timer->start();
}

}  // namespace tarnlow::ui
