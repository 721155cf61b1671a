#include "linux/qt_main_window.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace zarn {

namespace {

constexpr int kClientWidth = 2520;  // twips
constexpr int kClientHeight = 1665;

// The logo: a sheet coming out of a printer, drawn so no picture file is needed.
QPixmap Logo(int size) {
  const qreal ratio = qApp->devicePixelRatio();
  QPixmap pixmap(QSize(size, size) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1f, 0x4e, 0x79));
  p.drawRoundedRect(QRectF(0.05 * s, 0.35 * s, 0.9 * s, 0.4 * s), 0.08 * s, 0.08 * s);
  p.setBrush(Qt::white);
  p.setPen(QPen(QColor(0x1f, 0x4e, 0x79), std::max<qreal>(1, 0.04 * s)));
  p.drawRect(QRectF(0.25 * s, 0.08 * s, 0.5 * s, 0.36 * s));
  p.drawRect(QRectF(0.25 * s, 0.6 * s, 0.5 * s, 0.32 * s));
  QFont f(QStringLiteral("Arial Narrow"));
  f.setBold(true);
  f.setPixelSize(std::max(6, static_cast<int>(0.28 * s)));
  p.setFont(f);
  p.setPen(QColor(0x1f, 0x4e, 0x79));
  p.drawText(QRectF(0.25 * s, 0.6 * s, 0.5 * s, 0.32 * s), Qt::AlignCenter, QStringLiteral("z"));
  return pixmap;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int pointSize, bool bold) {
  auto* label = new QLabel(text, parent);
  QFont f(QStringLiteral("Arial Narrow"));
  f.setPointSize(pointSize);
  f.setBold(bold);
  label->setFont(f);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

int TwipsToPixels(int twips, bool horizontal) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const qreal dpi = screen == nullptr ? 96.0
                    : horizontal      ? screen->logicalDotsPerInchX()
                                      : screen->logicalDotsPerInchY();
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

QtMainWindow::QtMainWindow() : window_(std::make_unique<QWidget>()) {
  QWidget* w = window_.get();
  w->setObjectName(QStringLiteral("frmMAIN"));
  w->setWindowTitle(QStringLiteral("zarn://"));
  w->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint);
  w->setFixedSize(TwipsToPixels(kClientWidth, true), TwipsToPixels(kClientHeight, false));
  w->setAutoFillBackground(true);

  const auto px = [](int twips) { return TwipsToPixels(twips, true); };
  const auto py = [](int twips) { return TwipsToPixels(twips, false); };

  image1_ = new QLabel(w);
  image1_->setObjectName(QStringLiteral("Image1"));
  image1_->setGeometry(px(120), py(360), px(840), px(840));
  image1_->setPixmap(Logo(px(840)));

  label1_ = MakeLabel(w, QStringLiteral("zarn"), 14, true);
  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->setGeometry(px(1080), py(300), px(1320), py(480));

  lblVER_ = MakeLabel(w, QString(), 8, false);
  lblVER_->setObjectName(QStringLiteral("lblVER"));
  lblVER_->setGeometry(px(1080), py(840), px(1380), py(360));

  progress_ = MakeLabel(w, QString(), 8, false);
  progress_->setObjectName(QStringLiteral("lblProgress"));
  progress_->setGeometry(px(1080), py(1200), px(1380), py(360));
}

QtMainWindow::~QtMainWindow() = default;

void QtMainWindow::SetVersionCaption(const QString& caption) { lblVER_->setText(caption); }

void QtMainWindow::ShowAndRepaint() {
  window_->show();
  // The window system maps the window asynchronously; let it do so (no user
  // input is handled here) and paint it at once.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  window_->repaint();
}

void QtMainWindow::ProcessEvents() { QCoreApplication::processEvents(); }

void QtMainWindow::ShowProgress(const QString& line) {
  progress_->setText(line);
  // Painted straight away: the job processes no window events here.
  progress_->repaint();
}

}  // namespace zarn
