#include "forms/paper_size.h"

#include <QLocale>

#include "engine/document.h"
#include "errortrap/convert.h"
#include "errortrap/trap.h"
#include "forms/form_store.h"
#include "platform/print_surface.h"

namespace zarn {

namespace {

constexpr int32_t kUnitsPerCm = 10000;
constexpr int32_t kUnitsPerTenthMm = 100;

QString Word(int16_t flag) { return flag != 0 ? QStringLiteral("True") : QStringLiteral("False"); }

// Centimetres in their shortest decimal form: 21, 29.7, 14.85.
QString Centimetres(int32_t units) {
  return QString::number(static_cast<double>(units) / kUnitsPerCm, 'f', QLocale::FloatingPointShortest);
}

// The request as the script gave it: whole centimetres, or millimetres.
struct Request {
  int32_t width, height;
  int32_t unitsPer;  // FormSize units (thousandths of a millimetre) per step
  QString Shown(int32_t v) const {
    if (unitsPer == kUnitsPerCm) return QString::number(v);
    return QString::number(v / 10.0, 'f', QLocale::FloatingPointShortest) + QStringLiteral(" mm");
  }
};

int16_t ApplyPaper(Engine& e, FormSpooler& spooler, int32_t ownerWindow, const Request& r, QString& formName) {
  const int32_t width = r.width, height = r.height;
  Trap trap(Proc::PaperSize);
  int16_t flag = kFalse;
  int16_t position = 0;
  FormSize size;
  QStringList names;

  trap.Step([&] {
    e.log.Message(QStringLiteral("PaperSize:'W=") + r.Shown(width) + QStringLiteral(", H=") +
                  r.Shown(height) + QStringLiteral(", FormName=") + formName + u'\'');
  });
  trap.Step([&] { flag = DeleteExistedForm(spooler, e.surface.DeviceName(), formName); });
  trap.Step([&] { e.log.Message(QStringLiteral("PaperSize: DeleteForm") + Word(flag)); });
  trap.Step([&] { size.width = MulLong(width, r.unitsPer); });
  trap.Step([&] { size.height = MulLong(height, r.unitsPer); });
  trap.Step([&] { names = GetFormNames(spooler, e.surface.DeviceName()); });
  trap.Step([&] {
    e.log.Message(QStringLiteral("PaperSize:") + QString::number(names.size()) + QStringLiteral(" Forms Found."));
  });
  trap.Step([&] { position = GetFormproperties(spooler, e.surface.DeviceName(), size, formName); });
  // Still listed at a position past the first: a form that could not be
  // deleted (a built-in one), so there is nothing to replace it with.
  if (position != 0) return kFalse;

  // A full store gives up its least used form: one job's many forms must not
  // refuse every later job its paper.
  QString removed;
  trap.Step([&] { removed = DeleteLeastUsedForm(spooler, e.surface.DeviceName()); });
  trap.Step([&] {
    if (!removed.isEmpty())
      e.log.Message(QStringLiteral("PaperSize: Form store full, DeleteForm '") + removed +
                    QStringLiteral("' (used least recently)"));
  });
  trap.Step([&] { flag = AddNewForm(spooler, e.surface.DeviceName(), size, formName); });
  trap.Step([&] { e.log.Message(QStringLiteral("PaperSize: AddForm") + Word(flag)); });
  trap.Step([&] { flag = SetDefaultForm(spooler, e.surface, e.surface.DeviceName(), formName, ownerWindow); });
  trap.Step([&] { e.log.Message(QStringLiteral("PaperSize: DefaultForm") + Word(flag)); });
  // Only for the size the spooler stored, which the next line reports.
  trap.Step([&] { GetFormproperties(spooler, e.surface.DeviceName(), size, formName); });
  trap.Step([&] {
    e.log.Message(QStringLiteral("PaperSize: Form '") + formName + QStringLiteral("' width:") +
                  Centimetres(size.width) + QStringLiteral(" CM , Height:") + Centimetres(size.height) +
                  QStringLiteral(" CM"));
  });
  trap.Step([&] { OpenPage(e); });
  PrintState& s = e.state;
  trap.Step([&] { s.OriginY = 0; });
  trap.Step([&] { s.OriginX = 0; });
  trap.Step([&] { s.MarginTop = 0; });
  trap.Step([&] { s.MarginLeft = 0; });
  trap.Step([&] { s.LastX = 0; });
  trap.Step([&] { s.LastY = 0; });
  return kTrue;
}

}  // namespace

int16_t PaperSize(Engine& e, FormSpooler& spooler, int32_t ownerWindow, int32_t& width, int32_t& height,
                  QString& formName) {
  return ApplyPaper(e, spooler, ownerWindow, {width, height, kUnitsPerCm}, formName);
}

int16_t PaperSizeMm(Engine& e, FormSpooler& spooler, int32_t ownerWindow, int32_t& width, int32_t& height,
                    QString& formName) {
  return ApplyPaper(e, spooler, ownerWindow, {width, height, kUnitsPerTenthMm}, formName);
}

std::function<int16_t(int32_t&, int32_t&, QString&)> BindPaperSize(Engine& e, FormSpooler& spooler,
                                                                   int32_t ownerWindow) {
  return [&e, &spooler, ownerWindow](int32_t& width, int32_t& height, QString& formName) {
    return PaperSize(e, spooler, ownerWindow, width, height, formName);
  };
}

std::function<int16_t(int32_t&, int32_t&, QString&)> BindPaperSizeMm(Engine& e, FormSpooler& spooler,
                                                                     int32_t ownerWindow) {
  return [&e, &spooler, ownerWindow](int32_t& width, int32_t& height, QString& formName) {
    return PaperSizeMm(e, spooler, ownerWindow, width, height, formName);
  };
}

}  // namespace zarn
