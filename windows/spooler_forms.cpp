#include "windows/spooler_forms.h"

#include <windows.h>
#include <winspool.h>

#include <QFile>
#include <QSaveFile>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <vector>

// The spooler's names for its calls are macros of the headers; here they are
// the names of the interface's members, and the wide calls are named outright.
#undef OpenPrinter
#undef EnumForms
#undef DeleteForm
#undef AddForm
#undef DocumentProperties
#undef ResetDC

#include "platform/print_surface.h"

namespace zarn {

namespace {

// The two layouts differ only in their two names (32 characters each, one
// byte or two bytes a character); everything between and after is the same.
constexpr int kWideNameSize = 64;
constexpr int kWideFormNameOffset = 102;
constexpr int kWidePublicSize = 220;         // sizeof(DEVMODEW)
constexpr int kAnsiFullSize = 156;           // sizeof(DEVMODEA)
static_assert(sizeof(DEVMODEW) == kWidePublicSize && sizeof(DEVMODEA) == kAnsiFullSize);
static_assert(offsetof(DEVMODEA, dmFormName) == kDmFormNameOffset && offsetof(DEVMODEA, dmFields) == kDmFieldsOffset);

HANDLE Native(PrinterHandle h) { return reinterpret_cast<HANDLE>(h); }

QByteArray NameBytes(const wchar_t* wide, int chars) {
  QString name = QString::fromWCharArray(wide, chars);
  const qsizetype zero = name.indexOf(QChar(0));
  if (zero >= 0) name.truncate(zero);
  return name.toLatin1();
}

void PutName(QByteArray& wide, int offset, const QByteArray& ansi) {
  const qsizetype zero = ansi.indexOf('\0');
  const std::wstring name = QString::fromLatin1(zero >= 0 ? ansi.left(zero) : ansi).toStdWString();
  std::memset(wide.data() + offset, 0, kWideNameSize);
  std::memcpy(wide.data() + offset, name.data(), std::min<size_t>(name.size(), 31) * sizeof(wchar_t));
}

// Every form of the printer, as the spooler lists them.
std::vector<FORM_INFO_1W> Forms(HANDLE printer, std::vector<BYTE>& storage) {
  DWORD needed = 0, returned = 0;
  EnumFormsW(printer, 1, nullptr, 0, &needed, &returned);
  storage.assign(needed, 0);
  if (needed == 0 || !EnumFormsW(printer, 1, storage.data(), needed, &needed, &returned)) return {};
  const auto* first = reinterpret_cast<const FORM_INFO_1W*>(storage.data());
  return std::vector<FORM_INFO_1W>(first, first + returned);
}

void PutU32(QByteArray& b, qsizetype at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
void PutI32(QByteArray& b, qsizetype at, int32_t v) { std::memcpy(b.data() + at, &v, 4); }

}  // namespace

std::vector<int> FormsInAddedOrder(const std::vector<std::pair<uint32_t, QString>>& listing, const QStringList& added) {
  std::vector<int> order(listing.size());
  std::vector<int> places, users;
  for (int i = 0; i < static_cast<int>(listing.size()); ++i) {
    order[i] = i;
    if (listing[i].first == FORM_USER) {
      places.push_back(i);
      users.push_back(i);
    }
  }
  const auto rank = [&](int i) {
    for (qsizetype r = 0; r < added.size(); ++r)
      if (added[r].compare(listing[i].second, Qt::CaseInsensitive) == 0) return r;
    return qsizetype{-1};
  };
  std::stable_sort(users.begin(), users.end(), [&](int a, int b) { return rank(a) < rank(b); });
  for (size_t k = 0; k < places.size(); ++k) order[places[k]] = users[k];
  return order;
}

QStringList WinFormSpooler::AddedOrder(const QString& printer) const {
  QStringList forms;
  QFile file(orderPath_);
  if (orderPath_.isEmpty() || !file.open(QIODevice::ReadOnly)) return forms;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const QString text = QString::fromUtf8(line).remove(u'\r');
    if (text.section(u'\t', 0, 0) == printer) forms << text.section(u'\t', 1);
  }
  return forms;
}

void WinFormSpooler::Added(const QString& printer, const QString& form, bool add) {
  if (orderPath_.isEmpty() || printer.contains(u'\t') || printer.contains(u'\n') || form.contains(u'\n')) return;
  QStringList lines;
  QFile old(orderPath_);
  if (old.open(QIODevice::ReadOnly)) {
    for (const QByteArray& line : old.readAll().split('\n')) {
      const QString text = QString::fromUtf8(line).remove(u'\r');
      const bool same = text.section(u'\t', 0, 0) == printer &&
                        text.section(u'\t', 1).compare(form, Qt::CaseInsensitive) == 0;
      if (!text.isEmpty() && !same) lines << text;
    }
    old.close();
  }
  if (add) lines << printer + u'\t' + form;
  QDir().mkpath(QFileInfo(orderPath_).absolutePath());
  QSaveFile file(orderPath_);
  if (!file.open(QIODevice::WriteOnly)) return;
  for (const QString& line : lines) file.write(line.toUtf8() + "\r\n");
  file.commit();
}

QByteArray AnsiDevMode(const QByteArray& wide) {
  if (wide.size() < kWidePublicSize) return {};
  const auto* w = reinterpret_cast<const DEVMODEW*>(wide.constData());
  const qsizetype extra = std::min<qsizetype>(w->dmDriverExtra, wide.size() - w->dmSize);
  QByteArray ansi(kAnsiFullSize + extra, '\0');
  const QByteArray device = NameBytes(w->dmDeviceName, CCHDEVICENAME).left(kDmDeviceNameSize - 1);
  std::memcpy(ansi.data(), device.constData(), device.size());
  std::memcpy(ansi.data() + kDmDeviceNameSize, wide.constData() + kWideNameSize,
              kDmFormNameOffset - kDmDeviceNameSize);
  const QByteArray form = NameBytes(w->dmFormName, CCHFORMNAME).left(kDmFormNameSize - 1);
  std::memcpy(ansi.data() + kDmFormNameOffset, form.constData(), form.size());
  std::memcpy(ansi.data() + kDmFormNameOffset + kDmFormNameSize, wide.constData() + kWideFormNameOffset + kWideNameSize,
              kAnsiFullSize - kDmFormNameOffset - kDmFormNameSize);
  std::memcpy(ansi.data() + kAnsiFullSize, wide.constData() + w->dmSize, extra);
  const uint16_t size = kAnsiFullSize;
  std::memcpy(ansi.data() + kDmSizeOffset, &size, 2);
  return ansi;
}

QByteArray WideDevMode(QByteArray wide, const QByteArray& ansi) {
  if (wide.size() < kWidePublicSize || ansi.size() < kAnsiFullSize) return wide;
  const auto* w = reinterpret_cast<const DEVMODEW*>(wide.constData());
  const uint16_t wideSize = w->dmSize;
  // dmSpecVersion through dmCollate, and dmLogPixels onwards, as the ANSI record has them.
  std::memcpy(wide.data() + kWideNameSize, ansi.constData() + kDmDeviceNameSize, kDmFormNameOffset - kDmDeviceNameSize);
  std::memcpy(wide.data() + kWideFormNameOffset + kWideNameSize, ansi.constData() + kDmFormNameOffset + kDmFormNameSize,
              kAnsiFullSize - kDmFormNameOffset - kDmFormNameSize);
  std::memcpy(wide.data() + kDmSizeOffset + (kWideNameSize - kDmDeviceNameSize), &wideSize, 2);
  PutName(wide, kWideFormNameOffset, ansi.mid(kDmFormNameOffset, kDmFormNameSize));
  return wide;
}

bool WinFormSpooler::OpenPrinter(const QString& printerName, PrinterHandle& handle) {
  handle = 0;
  std::wstring name = printerName.toStdWString();
  HANDLE h = nullptr;
  if (printerName.isEmpty() || !OpenPrinterW(name.data(), &h, nullptr) || h == nullptr) return false;
  handle = reinterpret_cast<PrinterHandle>(h);
  printers_[handle] = printerName;
  return true;
}

bool WinFormSpooler::EnumForms(PrinterHandle handle, uint32_t level, QByteArray& buffer, uint32_t& needed,
                               uint32_t& returned) {
  returned = 0;
  needed = 0;
  if (level != 1) return false;
  std::vector<BYTE> storage;
  const std::vector<FORM_INFO_1W> forms = Forms(Native(handle), storage);
  std::vector<std::pair<uint32_t, QString>> listing;
  for (const FORM_INFO_1W& f : forms) listing.emplace_back(f.Flags, QString::fromWCharArray(f.pName));
  const std::vector<int> order = FormsInAddedOrder(listing, AddedOrder(printers_[handle]));
  // The store's layout: the records, then the names they point to.
  QByteArray blob(static_cast<qsizetype>(forms.size()) * kFormInfo1Size, '\0');
  for (size_t i = 0; i < forms.size(); ++i) {
    const FORM_INFO_1W& f = forms[order[i]];
    const qsizetype at = static_cast<qsizetype>(i) * kFormInfo1Size;
    PutU32(blob, at, f.Flags);
    PutU32(blob, at + 4, static_cast<uint32_t>(blob.size()));
    PutI32(blob, at + 8, f.Size.cx);
    PutI32(blob, at + 12, f.Size.cy);
    PutI32(blob, at + 16, f.ImageableArea.left);
    PutI32(blob, at + 20, f.ImageableArea.top);
    PutI32(blob, at + 24, f.ImageableArea.right);
    PutI32(blob, at + 28, f.ImageableArea.bottom);
    blob += QString::fromWCharArray(f.pName).toLatin1();
    blob += '\0';
  }
  needed = static_cast<uint32_t>(blob.size());
  if (buffer.size() < blob.size()) return false;
  std::memcpy(buffer.data(), blob.constData(), blob.size());
  returned = static_cast<uint32_t>(forms.size());
  return true;
}

bool WinFormSpooler::DeleteForm(PrinterHandle handle, const QByteArray& formName) {
  std::wstring name = QString::fromLatin1(formName).toStdWString();
  const bool deleted = DeleteFormW(Native(handle), name.data()) != 0;
  if (deleted) Added(printers_[handle], QString::fromLatin1(formName), false);
  return deleted;
}

bool WinFormSpooler::AddForm(PrinterHandle handle, uint32_t level, const FormInfo1& form) {
  if (level != 1 || form.name.isEmpty() || form.name.size() > kMaxFormName) return false;
  std::vector<BYTE> storage;
  int userForms = 0;
  for (const FORM_INFO_1W& f : Forms(Native(handle), storage))
    if (f.Flags == FORM_USER) ++userForms;
  if (userForms >= kMaxUserForms) return false;
  std::wstring name = QString::fromLatin1(form.name).toStdWString();
  FORM_INFO_1W info{};
  info.Flags = form.flags;
  info.pName = name.data();
  info.Size = {form.cx, form.cy};
  info.ImageableArea = {form.left, form.top, form.right, form.bottom};
  const bool added = AddFormW(Native(handle), 1, reinterpret_cast<BYTE*>(&info)) != 0;
  if (added) Added(printers_[handle], QString::fromLatin1(form.name), true);
  return added;
}

int32_t WinFormSpooler::DocumentProperties(int32_t ownerWindow, PrinterHandle handle, const QString& deviceName,
                                           QByteArray* out, const QByteArray* in, uint32_t mode) {
  const HWND owner = reinterpret_cast<HWND>(static_cast<intptr_t>(ownerWindow));
  std::wstring device = deviceName.toStdWString();
  const LONG wideSize = DocumentPropertiesW(owner, Native(handle), device.data(), nullptr, nullptr, 0);
  if (wideSize < kWidePublicSize) return -1;
  QByteArray& wide = wide_[handle];
  if (wide.size() != wideSize) {
    wide = QByteArray(wideSize, '\0');
    if (DocumentPropertiesW(owner, Native(handle), device.data(), reinterpret_cast<DEVMODEW*>(wide.data()), nullptr,
                            DM_OUT_BUFFER) < 0)
      return -1;
  }
  const auto* w = reinterpret_cast<const DEVMODEW*>(wide.constData());
  if (mode == 0) return kAnsiFullSize + w->dmDriverExtra;
  if (out == nullptr) return -1;
  if (mode == (DM_IN_BUFFER | DM_OUT_BUFFER) && in != nullptr) {
    QByteArray merged = WideDevMode(wide, *in);
    if (DocumentPropertiesW(owner, Native(handle), device.data(), reinterpret_cast<DEVMODEW*>(wide.data()),
                            reinterpret_cast<DEVMODEW*>(merged.data()), DM_IN_BUFFER | DM_OUT_BUFFER) < 0)
      return -1;
  } else if (mode != DM_OUT_BUFFER) {
    return -1;
  }
  const QByteArray ansi = AnsiDevMode(wide);
  if (out->size() < ansi.size()) out->resize(ansi.size());
  std::memcpy(out->data(), ansi.constData(), ansi.size());
  return 1;  // IDOK
}

int32_t WinFormSpooler::ResetDC(int32_t deviceContext, const QByteArray& devMode) {
  if (deviceContext != surface_.DeviceContext() || devMode.size() < kDevModePublicSize) return 0;
  uint32_t fields = 0;
  std::memcpy(&fields, devMode.constData() + kDmFieldsOffset, 4);
  if ((fields & DM_FORMNAME) == 0) return 0;
  QByteArray field = devMode.mid(kDmFormNameOffset, kDmFormNameSize);
  const qsizetype zero = field.indexOf('\0');
  if (zero >= 0) field.truncate(zero);
  if (field.isEmpty()) return 0;
  // The form of that name on the surface's printer (a name cut to the field
  // finds the longer form it was cut from).
  PrinterHandle handle = 0;
  if (!OpenPrinter(surface_.DeviceName(), handle)) return 0;
  std::vector<BYTE> storage;
  int32_t found = 0;
  for (const FORM_INFO_1W& f : Forms(Native(handle), storage)) {
    const QString name = QString::fromWCharArray(f.pName);
    const bool same = zero >= 0 ? name.compare(QString::fromLatin1(field), Qt::CaseInsensitive) == 0
                                : name.toLatin1().left(kDmFormNameSize).compare(field, Qt::CaseInsensitive) == 0;
    if (same) {
      surface_.SetFormSize(name, f.Size.cx, f.Size.cy);
      found = deviceContext;
      break;
    }
  }
  ClosePrinter(handle);
  return found;
}

bool WinFormSpooler::ClosePrinter(PrinterHandle handle) {
  wide_.erase(handle);
  printers_.erase(handle);
  return handle != 0 && ::ClosePrinter(Native(handle)) != 0;
}

}  // namespace zarn
