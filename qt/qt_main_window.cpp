#include "qt/qt_main_window.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QPushButton>
#include <functional>
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

// Wide enough for a readable status line and the Cancel button.
constexpr int kClientWidth = 4320;  // twips
constexpr int kClientHeight = 1800;
constexpr int kLabelPoints = 10;

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

// The window's close button: a cancel while the service is asked, else nothing.
class CloseFilter final : public QObject {
 public:
  explicit CloseFilter(std::function<void()> onClose) : onClose_(std::move(onClose)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Close) return false;
    event->ignore();
    onClose_();
    return true;
  }

 private:
  std::function<void()> onClose_;
};

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
  w->setWindowTitle(QStringLiteral("zarn"));
  // Tells the window apart from the program's boxes, which share its title.
  w->setWindowRole(QStringLiteral("frmMAIN"));
  w->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint |
                    Qt::MSWindowsFixedSizeDialogHint);
  w->setFixedSize(TwipsToPixels(kClientWidth, true), TwipsToPixels(kClientHeight, false));
  w->setAutoFillBackground(true);
  QIcon icon;
  for (int size : {16, 32, 48, 64}) icon.addPixmap(Logo(size));
  // The boxes share it.
  QApplication::setWindowIcon(icon);
  w->setWindowIcon(icon);

  const auto px = [](int twips) { return TwipsToPixels(twips, true); };
  const auto py = [](int twips) { return TwipsToPixels(twips, false); };

  image1_ = new QLabel(w);
  image1_->setObjectName(QStringLiteral("Image1"));
  image1_->setGeometry(px(120), py(300), px(1080), px(1080));
  image1_->setPixmap(Logo(px(1080)));

  label1_ = MakeLabel(w, QStringLiteral("zarn"), 14, true);
  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->setGeometry(px(1320), py(120), px(2880), py(420));

  lblVER_ = MakeLabel(w, QString(), kLabelPoints, false);
  lblVER_->setObjectName(QStringLiteral("lblVER"));
  lblVER_->setGeometry(px(1320), py(540), px(2880), py(300));

  progress_ = MakeLabel(w, QString(), kLabelPoints, false);
  progress_->setObjectName(QStringLiteral("lblProgress"));
  progress_->setGeometry(px(1320), py(840), px(2880), py(300));

  cancel_ = new QPushButton(QStringLiteral("&Cancel"), w);
  cancel_->setObjectName(QStringLiteral("cmdCancel"));
  cancel_->setGeometry(px(4320 - 120 - 1200), py(1800 - 120 - 480), px(1200), py(480));
  cancel_->hide();
  QObject::connect(cancel_, &QPushButton::clicked, [this] { cancelled_ = true; });
  closeFilter_ = std::make_unique<CloseFilter>([this] {
    if (waiting_) cancelled_ = true;
  });
  w->installEventFilter(closeFilter_.get());

  // Centred on the screen the window shows on.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    w->move(screen->availableGeometry().center() - w->rect().center());
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
  // A long host name is cut short rather than wrapped out of sight.
  progress_->setText(progress_->fontMetrics().elidedText(line, Qt::ElideMiddle, progress_->width()));
  // Painted straight away: the job processes no window events here.
  progress_->repaint();
}

void QtMainWindow::ShowWaiting(const QString& line) {
  waiting_ = true;
  cancelled_ = false;
  cancel_->show();
  cancel_->setFocus();
  ShowProgress(line);
  window_->repaint();
}

bool QtMainWindow::StillWaiting() {
  if (waiting_ && !cancelled_) QCoreApplication::processEvents();
  return !cancelled_;
}

void QtMainWindow::EndWaiting() {
  waiting_ = false;
  cancel_->hide();
  progress_->clear();
  window_->repaint();
}

}  // namespace zarn
