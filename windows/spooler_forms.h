#pragma once
// The form store's spooler calls on the Windows spooler itself (the wide
// calls; names cross the form store's interface in its single-byte code).
// The device-mode record the form store edits is the ANSI layout; it is made
// from the driver's own wide record and written back into it, so every byte
// the store does not touch is the driver's. ResetDC applies the record's form
// to the print surface: Qt's print engine owns the printer's device context,
// so the surface takes the form's name and size and Qt sets them on it.
#include <QString>
#include <QStringList>
#include <map>
#include <utility>
#include <vector>

#include "platform/form_spooler.h"

namespace zarn {

class PrintSurface;

// The spooler does not say in which order it lists forms, and the form store
// gives up the user form it lists first when a printer is full. So the order
// user forms were added in is kept in a file of our own (orderPath: lines
// "PRINTER<tab>FORM", oldest first; none without a path), and EnumForms lists
// the user forms in that order, in the places the spooler listed user forms.
class WinFormSpooler final : public FormSpooler {
 public:
  explicit WinFormSpooler(PrintSurface& surface, QString orderPath = {})
      : surface_(surface), orderPath_(std::move(orderPath)) {}

  bool OpenPrinter(const QString& printerName, PrinterHandle& handle) override;
  bool EnumForms(PrinterHandle handle, uint32_t level, QByteArray& buffer, uint32_t& needed,
                 uint32_t& returned) override;
  bool DeleteForm(PrinterHandle handle, const QByteArray& formName) override;
  bool AddForm(PrinterHandle handle, uint32_t level, const FormInfo1& form) override;
  int32_t DocumentProperties(int32_t ownerWindow, PrinterHandle handle, const QString& deviceName, QByteArray* out,
                             const QByteArray* in, uint32_t mode) override;
  int32_t ResetDC(int32_t deviceContext, const QByteArray& devMode) override;
  bool ClosePrinter(PrinterHandle handle) override;

  // The bounds the Linux store keeps, kept here too.
  static constexpr int kMaxUserForms = 256;
  static constexpr int kMaxFormName = 256;

 private:
  // The user forms of the printer in the order they were added, oldest first.
  QStringList AddedOrder(const QString& printer) const;
  void Added(const QString& printer, const QString& form, bool add);

  PrintSurface& surface_;
  QString orderPath_;
  // The driver's wide record of each open handle, as last read or merged.
  std::map<PrinterHandle, QByteArray> wide_;
  std::map<PrinterHandle, QString> printers_;  // the name each handle was opened with
};

// The order EnumForms lists the spooler's forms in (indices into listing,
// given as flags and name): built-in forms where the spooler has them, user
// forms in the places of user forms, first those `added` does not name (in
// the spooler's order), then those it names, in its order. Names match
// ignoring case.
std::vector<int> FormsInAddedOrder(const std::vector<std::pair<uint32_t, QString>>& listing, const QStringList& added);

// The ANSI device-mode record made from a wide one (the names in the single-
// byte code, the private driver bytes after it), and a wide record with the
// ANSI record's public fields written into it.
QByteArray AnsiDevMode(const QByteArray& wide);
QByteArray WideDevMode(QByteArray wide, const QByteArray& ansi);

}  // namespace zarn
