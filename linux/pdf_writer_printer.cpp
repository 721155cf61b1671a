#include "linux/pdf_writer_printer.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QSizeF>
#include <QStandardPaths>
#include <QUrl>

#ifdef _WIN32
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

#include <cstdint>

#include "errortrap/error.h"
#include "platform/file_system.h"
#include "qt/real_file_system.h"

namespace zarn {

namespace {

class Util final : public PDFUtil {
 public:
  QString defaultprintername() const override { return PdfWriterPrinter::Name(); }
};

class SettingsObject final : public PDFSettings {
 public:
  explicit SettingsObject(PdfWriterPrinter& writer) : writer_(writer) {}
  void setPrintername(const QString& name) override { printer_ = name; }
  void setValue(const QString& name, const QString& value) override { values_.insert(name.toLower(), value); }
  void WriteSettings(bool forNextDocument) override { writer_.Write(printer_, values_, forNextDocument); }

 private:
  PdfWriterPrinter& writer_;
  QString printer_;
  PdfWriterPrinter::Settings values_;
};

bool IsYes(const QString& value) { return value.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0; }
bool IsNo(const QString& value) { return value.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0; }

}  // namespace

QString PdfWriterPrinter::Name() { return QStringLiteral("zarn PDF Writer"); }

#ifdef _WIN32
QPageSize PdfWriterPrinter::DesktopPaper() {
  // The user's regional settings name the paper by its DMPAPER number.
  wchar_t value[8] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_IPAPERSIZE, value, 8) > 0) {
    switch (_wtoi(value)) {
      case DMPAPER_LETTER: return QPageSize(QPageSize::Letter);
      case DMPAPER_LEGAL: return QPageSize(QPageSize::Legal);
      case DMPAPER_A3: return QPageSize(QPageSize::A3);
      default: break;
    }
  }
  return QPageSize(QPageSize::A4);
}
#else
QPageSize PdfWriterPrinter::DesktopPaper() {
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
#endif

void PdfWriterPrinter::OpenWithDesktopViewer(const QString& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

PdfWriterPrinter::PdfWriterPrinter(Viewer viewer, QString documentsFolder, const Clock* clock)
    : viewer_(std::move(viewer)), documentsFolder_(std::move(documentsFolder)), clock_(clock ? clock : &systemClock_) {}

std::unique_ptr<PDFUtil> PdfWriterPrinter::CreatePDFUtil() { return std::make_unique<Util>(); }

std::unique_ptr<PDFSettings> PdfWriterPrinter::CreatePDFSettings() { return std::make_unique<SettingsObject>(*this); }

void PdfWriterPrinter::Write(const QString& printerName, const Settings& settings, bool forNextDocument) {
  // Settings meant for another printer would silently go astray.
  if (!printerName.isEmpty() && printerName.compare(Name(), Qt::CaseInsensitive) != 0)
    Raise(RuntimeError::InvalidArgument);
  if (forNextDocument)
    next_ = settings;
  else
    standing_ = settings;
}

QString PdfWriterPrinter::StampedPath() const {
  QString folder = documentsFolder_;
  if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty()) folder = QDir::homePath();
  if (!QDir().mkpath(folder)) Raise(RuntimeError::PathNotFound);
  const QString stamp = clock_->Now().toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss"));
  // Claimed at once: another job of the same second takes "-2".
  const QString claimed = ClaimFreeName(QDir(folder).filePath(stamp + QStringLiteral(".pdf")));
  if (claimed.isEmpty()) Raise(RuntimeError::PathFileAccess);
  return claimed;
}

PdfDocumentTarget PdfWriterPrinter::NextDocument() const {
  const Settings& settings = next_ ? *next_ : standing_;

  PdfDocumentTarget target;
  target.showPdf = IsYes(settings.value(QStringLiteral("showpdf")));
  const QString output = settings.value(QStringLiteral("output"));
  if (output.isEmpty()) {
    target.path = StampedPath();
    return target;
  }
  target.path = QFileInfo(NativePath(output)).absoluteFilePath();
  if (QFileInfo::exists(target.path) && !IsNo(settings.value(QStringLiteral("confirmoverwrite")))) {
    const bool replace = question_ && question_(target.path);
    if (!replace) {
      target.path = ClaimFreeName(target.path);
      if (target.path.isEmpty()) Raise(RuntimeError::PathFileAccess);
    }
  }
  return target;
}

void PdfWriterPrinter::DocumentFinished(const PdfDocumentTarget& target) {
  if (target.showPdf && viewer_) viewer_(target.path);
}

}  // namespace zarn
