#pragma once
// frmMAIN on Qt: a small fixed window of 2520 x 1665 twips (client area, at the
// screen's resolution) with the caption "zarn://", a logo (Image1), a caption
// label (Label1) and the version label (lblVER), both labels in Arial Narrow,
// and below them a progress line, empty until a long job fills it.
// Needs a QApplication; the window lives as long as this object.
#include <memory>

#include "platform/main_window.h"

class QLabel;
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

  // For tests: the window itself and its labels.
  QWidget& Widget() const { return *window_; }
  QLabel& Label1() const { return *label1_; }
  QLabel& VersionLabel() const { return *lblVER_; }
  QLabel& ProgressLabel() const { return *progress_; }

 private:
  std::unique_ptr<QWidget> window_;
  QLabel* image1_ = nullptr;  // owned by window_
  QLabel* label1_ = nullptr;
  QLabel* lblVER_ = nullptr;
  QLabel* progress_ = nullptr;
};

// Twips (1/1440 inch) to device-independent pixels at the primary screen's resolution.
int TwipsToPixels(int twips, bool horizontal);

}  // namespace zarn
