#pragma once
// The form database on Linux, where no spooler keeps one.
//
// Built-in forms are the printer's own page sizes, in the printer's order;
// they cannot be deleted. User forms are kept per printer in a small JSON file
// in the store folder (by default the user's configuration folder +
// "/zarn/forms"), so they survive runs as spooler forms do; they follow the
// built-ins in the order added. Names are matched ignoring letter case.
//
// Every call reads the file anew, so two clients see each other's forms.
// Changes are made under a lock file and written to a new file that is then
// renamed over the old one, so concurrent writers neither corrupt the store
// nor lose each other's forms. A file that cannot be read or parsed is renamed
// to "<file>.damaged-<time>" (kept for the user, with a warning on stderr) and
// the printer starts with an empty store; the run goes on.
//
// ResetDC applies a record's form to the print surface it was built with,
// when the device context is that surface's; the form is looked up on the
// surface's current printer.
#include <QList>
#include <QString>
#include <QStringList>
#include <map>

#include "platform/form_spooler.h"
#include "platform/page_sizes.h"

namespace zarn {

class PrintSurface;
class PrinterList;

// A standard list (Letter, A4, Legal, ...) for a printer that names none of
// its own, such as our PDF writer printer.
QList<PageForm> StandardPageSizes();

// The real printers: the names of the printer list; the sizes CUPS reports
// for a printer it knows, the standard list for any other (the PDF writer).
class QtPrinterPageSizes final : public PrinterPageSizes {
 public:
  explicit QtPrinterPageSizes(const PrinterList& printers) : printers_(printers) {}
  QStringList PrinterNames() const override;
  QList<PageForm> PageSizes(const QString& printer) const override;

 private:
  const PrinterList& printers_;
};

class FileFormSpooler final : public FormSpooler {
 public:
  // storeFolder empty: DefaultStoreFolder().
  FileFormSpooler(const PrinterPageSizes& printers, PrintSurface& surface, QString storeFolder = QString());

  static QString DefaultStoreFolder();
  // The store file of one printer.
  QString StorePath(const QString& printer) const;

  bool OpenPrinter(const QString& printerName, PrinterHandle& handle) override;
  bool EnumForms(PrinterHandle handle, uint32_t level, QByteArray& buffer, uint32_t& needed,
                 uint32_t& returned) override;
  bool DeleteForm(PrinterHandle handle, const QByteArray& formName) override;
  bool AddForm(PrinterHandle handle, uint32_t level, const FormInfo1& form) override;
  int32_t DocumentProperties(int32_t ownerWindow, PrinterHandle handle, const QString& deviceName, QByteArray* out,
                             const QByteArray* in, uint32_t mode) override;
  int32_t ResetDC(int32_t deviceContext, const QByteArray& devMode) override;
  bool ClosePrinter(PrinterHandle handle) override;

  // Size of the device-mode record handed out: the public part of the full
  // ANSI record plus this stand-in's private bytes.
  static constexpr int kDevModeSize = 156;
  static constexpr int kDriverExtra = 32;

 private:
  struct UserForms {
    QList<PageForm> forms;
    bool writable = true;  // false: a damaged file could not be set aside
  };

  // The listed name for a name given in any letter case, or empty.
  QString ListedPrinter(const QString& name) const;
  // Printer of an open handle, or empty.
  QString PrinterOf(PrinterHandle handle) const;
  UserForms LoadUserForms(const QString& printer, bool locked) const;
  bool SaveUserForms(const QString& printer, const QList<PageForm>& forms) const;
  QList<PageForm> AllForms(const QString& printer) const;

  const PrinterPageSizes& printers_;
  PrintSurface& surface_;
  QString folder_;
  std::map<PrinterHandle, QString> open_;
  PrinterHandle next_ = 1;
};

}  // namespace zarn
