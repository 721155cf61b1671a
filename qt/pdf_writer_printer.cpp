#include "qt/pdf_writer_printer.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

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

void PdfWriterPrinter::OpenWithDesktopViewer(const QString& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

PdfWriterPrinter::PdfWriterPrinter(Viewer viewer, QString documentsFolder, const Clock* clock, QPageSize paper)
    : viewer_(std::move(viewer)),
      documentsFolder_(std::move(documentsFolder)),
      paper_(std::move(paper)),
      clock_(clock ? clock : &systemClock_) {}

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
