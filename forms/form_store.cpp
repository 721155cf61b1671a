#include "forms/form_store.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

#include "engine/print_state.h"
#include "errortrap/convert.h"
#include "errortrap/error.h"
#include "errortrap/trap.h"
#include "platform/form_spooler.h"
#include "platform/print_surface.h"

namespace zarn {

namespace {

constexpr uint32_t kLevel = 1;
constexpr qsizetype kMaxNameBytes = 512;

// The two enumeration calls: the first learns the bytes needed, the second
// fills a buffer of that size. The records' names point into the buffer.
struct Enumeration {
  QByteArray buffer;
  uint32_t needed = 0;
  uint32_t returned = 0;
  bool ok = false;
};

void Enumerate(Trap& trap, FormSpooler& spooler, PrinterHandle handle, Enumeration& e) {
  trap.Step([&] {
    QByteArray probe;
    spooler.EnumForms(handle, kLevel, probe, e.needed, e.returned);
  });
  trap.Step([&] { e.buffer = QByteArray(static_cast<qsizetype>(e.needed), '\0'); });
  trap.Step([&] { e.ok = spooler.EnumForms(handle, kLevel, e.buffer, e.needed, e.returned); });
}

struct Record {
  uint32_t flags = FORM_USER;
  QString name;
  FormSize size;
};

// Record `index` of an enumeration; a record outside the buffer is an error,
// not a read past its end.
Record ReadRecord(const Enumeration& e, uint32_t index) {
  const qsizetype at = static_cast<qsizetype>(index) * kFormInfo1Size;
  if (at + kFormInfo1Size > e.buffer.size()) Raise(RuntimeError::SubscriptOutOfRange);
  const char* p = e.buffer.constData() + at;
  Record r;
  r.flags = qFromLittleEndian<uint32_t>(p);
  r.name = PtrCtoVbString(e.buffer, qFromLittleEndian<uint32_t>(p + 4));
  r.size.width = qFromLittleEndian<int32_t>(p + 8);
  r.size.height = qFromLittleEndian<int32_t>(p + 12);
  return r;
}

// dmFormName: the name, one zero byte, spaces up to the field's end; a name
// that fills the field is cut to it and has no zero byte. dmFields: only
// DM_FORMNAME, so the driver takes nothing else from the record.
void WriteFormSelection(QByteArray& record, const QString& formName) {
  if (record.size() < kDevModePublicSize) Raise(RuntimeError::SubscriptOutOfRange);
  QByteArray field = formName.toLatin1().left(kDmFormNameSize);
  if (field.size() < kDmFormNameSize) {
    field += '\0';
    field += QByteArray(kDmFormNameSize - field.size(), ' ');
  }
  std::copy(field.begin(), field.end(), record.begin() + kDmFormNameOffset);
  qToLittleEndian<uint32_t>(DM_FORMNAME, record.data() + kDmFieldsOffset);
}

}  // namespace

QString PtrCtoVbString(const QByteArray& buffer, qsizetype offset) {
  Trap trap(Proc::PtrCtoVbString);
  QString text;
  trap.Step([&] {
    if (offset < 0 || offset >= buffer.size()) return;
    const char* start = buffer.constData() + offset;
    const qsizetype span = std::min(kMaxNameBytes, buffer.size() - offset);
    const void* zero = std::memchr(start, '\0', static_cast<size_t>(span));
    if (zero != nullptr) text = QString::fromLatin1(start, static_cast<const char*>(zero) - start);
  });
  return text;
}

QStringList GetFormNames(FormSpooler& spooler, const QString& printerName) {
  Trap trap(Proc::GetFormNames);
  QStringList names;
  PrinterHandle handle = 0;
  bool opened = false;
  trap.Step([&] { opened = spooler.OpenPrinter(printerName, handle); });
  if (!opened) return names;
  Enumeration e;
  Enumerate(trap, spooler, handle, e);
  for (uint32_t i = 0; i < e.returned; ++i) trap.Step([&] { names << ReadRecord(e, i).name; });
  trap.Step([&] { spooler.ClosePrinter(handle); });
  return names;
}

int16_t GetFormproperties(FormSpooler& spooler, const QString& printerName, FormSize& size, const QString& formName) {
  Trap trap(Proc::GetFormproperties);
  int16_t result = 0;
  PrinterHandle handle = 0;
  bool opened = false;
  trap.Step([&] { opened = spooler.OpenPrinter(printerName, handle); });
  if (!opened) return result;
  Enumeration e;
  Enumerate(trap, spooler, handle, e);
  // The counter starts at the second call's result (1), so the first form's
  // position reads 0, as does no match at all; callers rely on that.
  int32_t counter = e.ok ? 1 : 0;
  const QString wanted = formName.toLower();
  bool found = false;
  for (uint32_t i = 0; i < e.returned && !found; ++i) {
    trap.Step([&] {
      const Record r = ReadRecord(e, i);
      if (r.name.toLower() == wanted) {
        size = r.size;
        result = ToShort(static_cast<int64_t>(counter) - 1);
        found = true;
      } else {
        ++counter;
      }
    });
  }
  trap.Step([&] { spooler.ClosePrinter(handle); });
  return result;
}

int16_t DeleteExistedForm(FormSpooler& spooler, const QString& printerName, const QString& formName) {
  Trap trap(Proc::DeleteExistedForm);
  PrinterHandle handle = 0;
  bool opened = false;
  trap.Step([&] { opened = spooler.OpenPrinter(printerName, handle); });
  if (!opened) return kFalse;
  // Whether anything was deleted (absent, or a built-in form) is not looked at.
  trap.Step([&] { spooler.DeleteForm(handle, formName.toLatin1()); });
  trap.Step([&] { spooler.ClosePrinter(handle); });
  return kTrue;
}

int16_t AddNewForm(FormSpooler& spooler, const QString& printerName, const FormSize& size, const QString& formName) {
  Trap trap(Proc::AddNewForm);
  int16_t result = kFalse;
  FormInfo1 form;
  trap.Step([&] {
    form.flags = FORM_USER;
    form.name = formName.toLatin1();
    form.cx = size.width;
    form.cy = size.height;
    form.left = 0;
    form.top = 0;
    form.right = size.width;
    form.bottom = size.height;
  });
  PrinterHandle handle = 0;
  bool opened = false;
  trap.Step([&] { opened = spooler.OpenPrinter(printerName, handle); });
  if (!opened) return kFalse;
  trap.Step([&] { result = spooler.AddForm(handle, kLevel, form) ? kTrue : kFalse; });
  trap.Step([&] { spooler.ClosePrinter(handle); });
  return result;
}

QString DeleteLeastUsedForm(FormSpooler& spooler, const QString& printerName) {
  Trap trap(Proc::DeleteLeastUsedForm);
  QString removed;
  PrinterHandle handle = 0;
  bool opened = false;
  trap.Step([&] { opened = spooler.OpenPrinter(printerName, handle); });
  if (!opened) return removed;
  Enumeration e;
  Enumerate(trap, spooler, handle, e);
  QString oldest;
  int userForms = 0;
  for (uint32_t i = 0; i < e.returned; ++i) {
    trap.Step([&] {
      const Record r = ReadRecord(e, i);
      if (r.flags != FORM_USER) return;
      if (userForms++ == 0) oldest = r.name;
    });
  }
  trap.Step([&] {
    if (userForms >= kMaxUserForms && spooler.DeleteForm(handle, oldest.toLatin1())) removed = oldest;
  });
  trap.Step([&] { spooler.ClosePrinter(handle); });
  return removed;
}

int16_t SetDefaultForm(FormSpooler& spooler, PrintSurface& surface, const QString& printerName,
                       const QString& formName, int32_t ownerWindow) {
  Trap trap(Proc::SetDefaultForm);
  int32_t deviceContext = 0;
  trap.Step([&] { deviceContext = surface.DeviceContext(); });
  PrinterHandle handle = 0;
  bool opened = false;
  trap.Step([&] { opened = spooler.OpenPrinter(printerName, handle); });
  if (!opened) return kFalse;
  int32_t size = 0;
  QByteArray record;
  trap.Step([&] { size = spooler.DocumentProperties(ownerWindow, handle, printerName, nullptr, nullptr, 0); });
  trap.Step([&] {
    if (size < 0) Raise(RuntimeError::SubscriptOutOfRange);
    record = QByteArray(size, '\0');
  });
  trap.Step([&] { spooler.DocumentProperties(ownerWindow, handle, printerName, &record, nullptr, DM_OUT_BUFFER); });
  trap.Step([&] { WriteFormSelection(record, formName); });
  trap.Step([&] {
    spooler.DocumentProperties(ownerWindow, handle, printerName, &record, &record, DM_IN_BUFFER | DM_OUT_BUFFER);
  });
  trap.Step([&] { spooler.ResetDC(deviceContext, record); });
  trap.Step([&] { spooler.ClosePrinter(handle); });
  return kTrue;
}

}  // namespace zarn
