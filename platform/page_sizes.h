#pragma once
// The printers a form store serves and their own page sizes (the built-in
// forms). Sizes and imageable area in thousandths of a millimetre.
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace zarn {

// One form: sizes and imageable area in thousandths of a millimetre.
struct PageForm {
  QString name;
  int32_t width = 0, height = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Where the printers and their own page sizes come from.
class PrinterPageSizes {
 public:
  virtual ~PrinterPageSizes() = default;
  // The printers that can be opened, in order.
  virtual QStringList PrinterNames() const = 0;
  // The printer's own page sizes (its built-in forms), in its order.
  virtual QList<PageForm> PageSizes(const QString& printer) const = 0;
};

}  // namespace zarn
