#pragma once
// frmMAIN on Qt: a small fixed window of 4320 x 1800 twips (client area, at the
// screen's resolution), centred on the screen, titled "zarn" with the
// program's icon and no maximize button, holding a logo (Image1), a caption
// label (Label1) and the version label (lblVER), both labels in Arial Narrow,
// and below them a status line ("Asking HOST …", then the job's progress) and
// a Cancel button shown only while the service is asked. The window's close
// button cancels then too, and does nothing otherwise: the program ends by
// itself. Needs a QApplication; the window lives as long as this object.
#include <memory>

#include "platform/main_window.h"

class QLabel;
class QObject;
class QPushButton;
class QWidget;

namespace zarn {

class QtMainWindow final : public MainWindow {
 public:
  QtMainWindow();
  ~QtMainWindow() override;

  void SetVersionCaption(const QString& caption) override;
  void ShowAndRepaint() override;
  void ProcessEvents() override;
  void ShowProgress(const QString& line) override;
  void ShowWaiting(const QString& line) override;
  bool StillWaiting() override;
  void EndWaiting() override;

  // For tests: the window itself and its labels.
  QWidget& Widget() const { return *window_; }
  QLabel& Label1() const { return *label1_; }
  QLabel& VersionLabel() const { return *lblVER_; }
  QLabel& ProgressLabel() const { return *progress_; }
  QPushButton& CancelButton() const { return *cancel_; }

 private:
  std::unique_ptr<QWidget> window_;
  QLabel* image1_ = nullptr;  // owned by window_
  QLabel* label1_ = nullptr;
  QLabel* lblVER_ = nullptr;
  QLabel* progress_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool waiting_ = false;
  bool cancelled_ = false;
  std::unique_ptr<QObject> closeFilter_;
};

// Twips (1/1440 inch) to device-independent pixels at the primary screen's resolution.
int TwipsToPixels(int twips, bool horizontal);

}  // namespace zarn
