#include "launch/progress_line.h"

#include <QLocale>

#include "engine/engine.h"
#include "platform/main_window.h"
#include "platform/print_surface.h"

namespace zarn {

ProgressLine::ProgressLine(MainWindow& window, const PrintSurface& surface, Elapsed elapsed)
    : window_(window), surface_(surface), elapsed_(std::move(elapsed)) {
  timer_.start();
}

void ProgressLine::Update(const Engine& e) {
  const qint64 now = elapsed_ ? elapsed_() : timer_.elapsed();
  if (now < kQuietMs || now - shownAt_ < kRefreshMs) return;
  shownAt_ = now;
  int pages = 0;
  if (e.record == 0)
    for (const PrintedDocument& d : surface_.Documents()) pages += d.pages;
  window_.ShowProgress(ProgressText(e.record, e.records, pages));
}

QString ProgressText(int record, int records, int pages) {
  const QLocale locale;  // the desktop's, unless a default was set
  if (record > 0)
    return QStringLiteral("Record %1 of %2").arg(locale.toString(record), locale.toString(records));
  return QStringLiteral("Page %1").arg(locale.toString(pages));
}

}  // namespace zarn
