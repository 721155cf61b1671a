#pragma once
// The window's progress line for a job that takes a while: nothing in its
// first half second, then "Record 4,180 of 10,000" while a repeat section
// prints (numbers in the desktop's notation) or "Page 12" (the pages begun so
// far), refreshed at most four times a second. The engine tells it at each
// record and each new page; it only looks at the time until there is
// something to show.
#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>
#include <functional>

namespace zarn {

struct Engine;
class MainWindow;
class PrintSurface;

class ProgressLine {
 public:
  // Milliseconds since the job started; empty: a timer started here.
  using Elapsed = std::function<qint64()>;
  ProgressLine(MainWindow& window, const PrintSurface& surface, Elapsed elapsed = {});

  void Update(const Engine& e);

  static constexpr qint64 kQuietMs = 500;
  static constexpr qint64 kRefreshMs = 250;

 private:
  MainWindow& window_;
  const PrintSurface& surface_;
  Elapsed elapsed_;
  QElapsedTimer timer_;
  qint64 shownAt_ = -kRefreshMs;
};

// "Record 4,180 of 10,000" for a record of a repeat section, else "Page 12".
QString ProgressText(int record, int records, int pages);

}  // namespace zarn
