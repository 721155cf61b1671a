#include "linux/desktop_paper.h"

#include <langinfo.h>
#include <locale.h>

#include <QSizeF>
#include <cstdint>

namespace zarn {

QPageSize DesktopPaper() {
  // The C library knows each locale's paper in millimetres (216 x 279 for
  // Letter); the environment's locale is read without changing the process's.
  const locale_t desktop = newlocale(LC_PAPER_MASK, "", static_cast<locale_t>(nullptr));
  if (desktop == static_cast<locale_t>(nullptr)) return QPageSize(QPageSize::A4);
  const auto mm = [&](nl_item item) {
    return static_cast<qreal>(static_cast<int>(reinterpret_cast<intptr_t>(nl_langinfo_l(item, desktop))));
  };
  const QSizeF size(mm(_NL_PAPER_WIDTH), mm(_NL_PAPER_HEIGHT));
  freelocale(desktop);
  if (size.width() <= 0 || size.height() <= 0) return QPageSize(QPageSize::A4);
  const QPageSize::PageSizeId id = QPageSize::id(size, QPageSize::Millimeter, QPageSize::FuzzyMatch);
  return id == QPageSize::Custom ? QPageSize(size, QPageSize::Millimeter) : QPageSize(id);
}

}  // namespace zarn
