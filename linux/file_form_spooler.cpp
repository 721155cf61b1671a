#include "linux/file_form_spooler.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QPageSize>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

#include "platform/print_surface.h"

namespace zarn {

namespace {

// How long a change waits for another client's lock before it gives up.
constexpr int kLockWaitMs = 10000;

struct StandardSize {
  const char* name;
  int32_t width, height;
};
// The order a desktop user knows from the system's paper lists.
constexpr StandardSize kStandardSizes[] = {
    {"Letter", 215900, 279400},       {"A4", 210000, 297000},           {"Legal", 215900, 355600},
    {"Executive", 184150, 266700},    {"A3", 297000, 420000},           {"A5", 148000, 210000},
    {"A6", 105000, 148000},           {"B4 (JIS)", 257000, 364000},     {"B5 (JIS)", 182000, 257000},
    {"Tabloid", 279400, 431800},      {"Envelope #10", 104775, 241300}, {"Envelope DL", 110000, 220000},
    {"Envelope C5", 162000, 229000},
};

PageForm WholeSheet(const QString& name, int32_t width, int32_t height) {
  return PageForm{name, width, height, 0, 0, width, height};
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

void PutU16(QByteArray& b, int offset, uint16_t v) { qToLittleEndian(v, b.data() + offset); }
void PutU32(QByteArray& b, int offset, uint32_t v) { qToLittleEndian(v, b.data() + offset); }
uint32_t GetU32(const QByteArray& b, int offset) { return qFromLittleEndian<uint32_t>(b.constData() + offset); }

int16_t TenthsOfMm(int32_t thousandths) {
  return static_cast<int16_t>(std::clamp<int32_t>(thousandths / 100, 1, std::numeric_limits<int16_t>::max()));
}

// A whole JSON number that fits in 32 bits.
std::optional<int32_t> JsonLong(const QJsonValue& v) {
  if (!v.isDouble()) return std::nullopt;
  const double d = v.toDouble();
  if (d != std::floor(d) || d < std::numeric_limits<int32_t>::min() || d > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return static_cast<int32_t>(d);
}

// The user forms of a store file, or nothing when the file is damaged.
std::optional<QList<PageForm>> ParseStore(const QByteArray& bytes) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
  const QJsonValue list = doc.object().value(QStringLiteral("forms"));
  if (!list.isArray()) return std::nullopt;
  QList<PageForm> forms;
  for (const QJsonValue& item : list.toArray()) {
    if (!item.isObject()) return std::nullopt;
    const QJsonObject o = item.toObject();
    const QJsonValue name = o.value(QStringLiteral("name"));
    if (!name.isString() || name.toString().isEmpty()) return std::nullopt;
    PageForm f;
    f.name = name.toString();
    int32_t* targets[] = {&f.width, &f.height, &f.left, &f.top, &f.right, &f.bottom};
    const char* keys[] = {"width", "height", "left", "top", "right", "bottom"};
    for (int i = 0; i < 6; ++i) {
      const auto v = JsonLong(o.value(QLatin1String(keys[i])));
      if (!v) return std::nullopt;
      *targets[i] = *v;
    }
    forms << f;
  }
  return forms;
}

QByteArray SerializeStore(const QString& printer, const QList<PageForm>& forms) {
  QJsonArray list;
  for (const PageForm& f : forms)
    list.append(QJsonObject{{"name", f.name},
                            {"width", f.width},
                            {"height", f.height},
                            {"left", f.left},
                            {"top", f.top},
                            {"right", f.right},
                            {"bottom", f.bottom}});
  return QJsonDocument(QJsonObject{{"printer", printer}, {"forms", list}}).toJson(QJsonDocument::Indented);
}

// Renames a damaged store file out of the way; false when it stays in place.
bool KeepAside(const QString& path) {
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString target = path + QStringLiteral(".damaged-") + stamp;
  for (int n = 1; QFileInfo::exists(target); ++n)
    target = path + QStringLiteral(".damaged-") + stamp + u'-' + QString::number(n);
  if (!QFile::rename(path, target)) {
    qWarning("zarn: the form store %s cannot be read or set aside; its forms are not used",
             qUtf8Printable(path));
    return false;
  }
  qWarning("zarn: the form store %s was damaged; it is kept as %s and a fresh store is started",
           qUtf8Printable(path), qUtf8Printable(target));
  return true;
}

}  // namespace

QList<PageForm> StandardPageSizes() {
  QList<PageForm> out;
  for (const StandardSize& s : kStandardSizes) out << WholeSheet(QString::fromLatin1(s.name), s.width, s.height);
  return out;
}

QStringList QtPrinterPageSizes::PrinterNames() const {
  QStringList names;
  for (int i = 0; i < printers_.Count(); ++i) names << printers_.DeviceName(i);
  return names;
}

QList<PageForm> QtPrinterPageSizes::PageSizes(const QString& printer) const {
  const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
  if (info.isNull()) return StandardPageSizes();
  QList<PageForm> out;
  for (const QPageSize& size : info.supportedPageSizes()) {
    const QSizeF mm = size.size(QPageSize::Millimeter);
    out << WholeSheet(size.name(), static_cast<int32_t>(std::lround(mm.width() * 1000)),
                      static_cast<int32_t>(std::lround(mm.height() * 1000)));
  }
  return out.isEmpty() ? StandardPageSizes() : out;
}

FileFormSpooler::FileFormSpooler(const PrinterPageSizes& printers, PrintSurface& surface, QString storeFolder)
    : printers_(printers), surface_(surface), folder_(storeFolder.isEmpty() ? DefaultStoreFolder() : storeFolder) {}

QString FileFormSpooler::DefaultStoreFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/zarn/forms");
}

QString FileFormSpooler::StorePath(const QString& printer) const {
  // Printer names may hold "/" and other characters a file name cannot.
  return folder_ + u'/' + QString::fromLatin1(QUrl::toPercentEncoding(printer)) + QStringLiteral(".json");
}

QString FileFormSpooler::ListedPrinter(const QString& name) const {
  for (const QString& p : printers_.PrinterNames())
    if (SameName(p, name)) return p;
  return QString();
}

QString FileFormSpooler::PrinterOf(PrinterHandle handle) const {
  const auto it = open_.find(handle);
  return it == open_.end() ? QString() : it->second;
}

FileFormSpooler::UserForms FileFormSpooler::LoadUserForms(const QString& printer, bool locked) const {
  const QString path = StorePath(printer);
  std::unique_ptr<QLockFile> lock;
  for (;;) {
    QFile file(path);
    if (!file.exists()) return {};
    if (file.open(QIODevice::ReadOnly)) {
      if (auto forms = ParseStore(file.readAll())) return {*forms, true};
    }
    file.close();
    if (locked) return {{}, KeepAside(path)};
    // Set it aside under the lock, after a second look: another client may
    // have just replaced it with a sound one.
    lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    if (!lock->tryLock(kLockWaitMs)) return {{}, false};
    locked = true;
  }
}

bool FileFormSpooler::SaveUserForms(const QString& printer, const QList<PageForm>& forms) const {
  if (!QDir().mkpath(folder_)) return false;
  QSaveFile file(StorePath(printer));
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(SerializeStore(printer, forms));
  return file.commit();
}

QList<PageForm> FileFormSpooler::AllForms(const QString& printer) const {
  QList<PageForm> all = printers_.PageSizes(printer);
  all += LoadUserForms(printer, false).forms;
  return all;
}

bool FileFormSpooler::OpenPrinter(const QString& printerName, PrinterHandle& handle) {
  handle = 0;
  const QString printer = ListedPrinter(printerName);
  if (printer.isEmpty()) return false;
  handle = next_++;
  open_[handle] = printer;
  return true;
}

bool FileFormSpooler::ClosePrinter(PrinterHandle handle) { return open_.erase(handle) == 1; }

bool FileFormSpooler::EnumForms(PrinterHandle handle, uint32_t level, QByteArray& buffer, uint32_t& needed,
                                uint32_t& returned) {
  needed = 0;
  returned = 0;
  const QString printer = PrinterOf(handle);
  if (printer.isEmpty() || level != 1) return false;

  const QList<PageForm> builtIn = printers_.PageSizes(printer);
  const QList<PageForm> user = LoadUserForms(printer, false).forms;
  const qsizetype count = builtIn.size() + user.size();
  QList<QByteArray> names;
  qsizetype bytes = count * kFormInfo1Size;
  for (const PageForm& f : builtIn) names << f.name.toLatin1();
  for (const PageForm& f : user) names << f.name.toLatin1();
  for (const QByteArray& n : names) bytes += n.size() + 1;
  needed = static_cast<uint32_t>(bytes);
  if (buffer.size() < bytes) return false;

  qsizetype nameAt = count * kFormInfo1Size;
  for (qsizetype i = 0; i < count; ++i) {
    const bool isBuiltIn = i < builtIn.size();
    const PageForm& f = isBuiltIn ? builtIn[i] : user[i - builtIn.size()];
    const int at = static_cast<int>(i * kFormInfo1Size);
    PutU32(buffer, at, isBuiltIn ? FORM_BUILTIN : FORM_USER);
    PutU32(buffer, at + 4, static_cast<uint32_t>(nameAt));
    const int32_t values[] = {f.width, f.height, f.left, f.top, f.right, f.bottom};
    for (int k = 0; k < 6; ++k) PutU32(buffer, at + 8 + 4 * k, static_cast<uint32_t>(values[k]));
    const QByteArray& n = names[i];
    std::copy(n.begin(), n.end(), buffer.begin() + nameAt);
    buffer[nameAt + n.size()] = '\0';
    nameAt += n.size() + 1;
  }
  returned = static_cast<uint32_t>(count);
  return true;
}

bool FileFormSpooler::DeleteForm(PrinterHandle handle, const QByteArray& formName) {
  const QString printer = PrinterOf(handle);
  if (printer.isEmpty()) return false;
  const QString name = QString::fromLatin1(formName);
  for (const PageForm& f : printers_.PageSizes(printer))
    if (SameName(f.name, name)) return false;  // built-in forms stay

  QLockFile lock(StorePath(printer) + QStringLiteral(".lock"));
  if (!QDir().mkpath(folder_) || !lock.tryLock(kLockWaitMs)) return false;
  UserForms store = LoadUserForms(printer, true);
  const qsizetype removed = store.forms.removeIf([&](const PageForm& f) { return SameName(f.name, name); });
  if (removed == 0 || !store.writable) return false;
  return SaveUserForms(printer, store.forms);
}

bool FileFormSpooler::AddForm(PrinterHandle handle, uint32_t level, const FormInfo1& form) {
  const QString printer = PrinterOf(handle);
  if (printer.isEmpty() || level != 1) return false;
  // The spooler's checks: a name, a sheet, and an imageable area on it.
  if (form.name.isEmpty() || form.name.contains('\0')) return false;
  // A script can add forms without end; they stay in the user's store and
  // slow every later job. The store keeps a sane number of sane names.
  if (form.name.size() > kMaxFormNameChars) return false;
  if (form.cx <= 0 || form.cy <= 0) return false;
  if (form.left < 0 || form.top < 0 || form.left >= form.right || form.top >= form.bottom || form.right > form.cx ||
      form.bottom > form.cy)
    return false;
  const QString name = QString::fromLatin1(form.name);
  for (const PageForm& f : printers_.PageSizes(printer))
    if (SameName(f.name, name)) return false;

  QLockFile lock(StorePath(printer) + QStringLiteral(".lock"));
  if (!QDir().mkpath(folder_) || !lock.tryLock(kLockWaitMs)) return false;
  UserForms store = LoadUserForms(printer, true);
  if (!store.writable) return false;
  for (const PageForm& f : store.forms)
    if (SameName(f.name, name)) return false;
  if (store.forms.size() >= kMaxUserForms) return false;
  store.forms << PageForm{name, form.cx, form.cy, form.left, form.top, form.right, form.bottom};
  return SaveUserForms(printer, store.forms);
}

int32_t FileFormSpooler::DocumentProperties(int32_t, PrinterHandle handle, const QString&, QByteArray* out,
                                            const QByteArray* in, uint32_t mode) {
  const QString printer = PrinterOf(handle);
  if (printer.isEmpty()) return -1;
  constexpr int recordSize = kDevModeSize + kDriverExtra;
  if (mode == 0) return recordSize;

  if (mode == DM_OUT_BUFFER) {
    if (out == nullptr || out->size() < recordSize) return -1;
    QByteArray r(recordSize, '\0');
    const QByteArray device = printer.toLatin1().left(kDmDeviceNameSize - 1);
    std::copy(device.begin(), device.end(), r.begin() + kDmDeviceNameOffset);
    PutU16(r, 32, 0x0401);  // dmSpecVersion
    PutU16(r, 34, 1);       // dmDriverVersion
    PutU16(r, kDmSizeOffset, kDevModeSize);
    PutU16(r, kDmDriverExtraOffset, kDriverExtra);
    uint32_t fields = DM_ORIENTATION | DM_COPIES;
    PutU16(r, kDmOrientationOffset, 1);
    PutU16(r, kDmCopiesOffset, 1);
    const QList<PageForm> builtIn = printers_.PageSizes(printer);
    if (!builtIn.isEmpty()) {
      const PageForm& f = builtIn.first();
      fields |= DM_PAPERLENGTH | DM_PAPERWIDTH | DM_FORMNAME;
      PutU16(r, kDmPaperLengthOffset, static_cast<uint16_t>(TenthsOfMm(f.height)));
      PutU16(r, kDmPaperWidthOffset, static_cast<uint16_t>(TenthsOfMm(f.width)));
      const QByteArray name = f.name.toLatin1().left(kDmFormNameSize - 1);
      std::copy(name.begin(), name.end(), r.begin() + kDmFormNameOffset);
    }
    PutU32(r, kDmFieldsOffset, fields);
    // The private part, which callers must hand back untouched.
    for (int i = 0; i < kDriverExtra; ++i) r[kDevModeSize + i] = static_cast<char>(0xA0 + i);
    std::copy(r.begin(), r.end(), out->begin());
    return 1;
  }

  if (mode == (DM_IN_BUFFER | DM_OUT_BUFFER)) {
    if (out == nullptr || in == nullptr || in->size() < kDevModePublicSize) return -1;
    // This stand-in's driver takes the selection as it is given.
    if (out != in) *out = *in;
    return 1;
  }
  return -1;
}

int32_t FileFormSpooler::ResetDC(int32_t deviceContext, const QByteArray& devMode) {
  if (deviceContext != surface_.DeviceContext() || devMode.size() < kDevModePublicSize) return 0;
  if ((GetU32(devMode, kDmFieldsOffset) & DM_FORMNAME) == 0) return 0;
  const QString printer = ListedPrinter(surface_.DeviceName());
  if (printer.isEmpty()) return 0;

  QByteArray field = devMode.mid(kDmFormNameOffset, kDmFormNameSize);
  const qsizetype zero = field.indexOf('\0');
  const bool cut = zero < 0;  // a longer name, cut to the field's width
  if (!cut) field.truncate(zero);
  const QString name = QString::fromLatin1(field);
  if (name.isEmpty()) return 0;

  const QList<PageForm> forms = AllForms(printer);
  auto found = std::find_if(forms.begin(), forms.end(), [&](const PageForm& f) { return SameName(f.name, name); });
  if (found == forms.end() && cut)
    found = std::find_if(forms.begin(), forms.end(), [&](const PageForm& f) {
      return f.name.toLatin1().left(kDmFormNameSize).compare(field, Qt::CaseInsensitive) == 0;
    });
  if (found == forms.end()) return 0;
  surface_.SetFormSize(found->name, found->width, found->height);
  return deviceContext;
}

}  // namespace zarn
