#include "tests/support/form_fakes.h"

namespace zarn::testing {

PageForm Form(const QString& name, int32_t width, int32_t height) {
  return PageForm{name, width, height, 0, 0, width, height};
}

QStringList FakePrinterPageSizes::PrinterNames() const {
  QStringList out;
  for (const auto& p : printers) out << p.first;
  return out;
}

QList<PageForm> FakePrinterPageSizes::PageSizes(const QString& printer) const {
  for (const auto& p : printers)
    if (p.first == printer) return p.second;
  return {};
}

bool RecordingFormSpooler::OpenPrinter(const QString& printerName, PrinterHandle& handle) {
  const bool ok = inner_.OpenPrinter(printerName, handle);
  calls << "Open " + printerName + (ok ? " 1" : " 0");
  if (ok) ++openHandles;
  return ok;
}

bool RecordingFormSpooler::EnumForms(PrinterHandle handle, uint32_t level, QByteArray& buffer, uint32_t& needed,
                                     uint32_t& returned) {
  const qsizetype offered = buffer.size();
  const bool ok = inner_.EnumForms(handle, level, buffer, needed, returned);
  calls << "Enum " + QString::number(offered) + (ok ? " -> 1" : " -> 0");
  return ok;
}

bool RecordingFormSpooler::DeleteForm(PrinterHandle handle, const QByteArray& formName) {
  calls << "Delete " + QString::fromLatin1(formName);
  return inner_.DeleteForm(handle, formName);
}

bool RecordingFormSpooler::AddForm(PrinterHandle handle, uint32_t level, const FormInfo1& f) {
  const bool ok = inner_.AddForm(handle, level, f);
  QStringList parts{"Add", QString::fromLatin1(f.name)};
  for (int32_t v : {f.cx, f.cy, f.left, f.top, f.right, f.bottom}) parts << QString::number(v);
  calls << parts.join(u' ') + (ok ? " -> 1" : " -> 0");
  return ok;
}

int32_t RecordingFormSpooler::DocumentProperties(int32_t ownerWindow, PrinterHandle handle,
                                                 const QString& deviceName, QByteArray* out, const QByteArray* in,
                                                 uint32_t mode) {
  calls << "Props " + QString::number(mode);
  if (mode == 0 && recordSize) return *recordSize;
  if (mode == (DM_IN_BUFFER | DM_OUT_BUFFER) && in) mergeInput = *in;
  const int32_t r = inner_.DocumentProperties(ownerWindow, handle, deviceName, out, in, mode);
  if (mode == DM_OUT_BUFFER && out) currentSettings = *out;
  return r;
}

int32_t RecordingFormSpooler::ResetDC(int32_t deviceContext, const QByteArray& devMode) {
  calls << "ResetDC " + QString::number(deviceContext);
  resetRecord = devMode;
  return inner_.ResetDC(deviceContext, devMode);
}

bool RecordingFormSpooler::ClosePrinter(PrinterHandle handle) {
  calls << QStringLiteral("Close");
  const bool ok = inner_.ClosePrinter(handle);
  if (ok) --openHandles;
  return ok;
}

}  // namespace zarn::testing
