#pragma once
// Fakes around the form store: a fixed printer list with built-in forms, and
// a spooler wrapper that records each call and the device-mode records that
// passed through it.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

#include "platform/form_spooler.h"
#include "platform/page_sizes.h"

namespace zarn::testing {

// A whole-sheet form.
PageForm Form(const QString& name, int32_t width, int32_t height);

class FakePrinterPageSizes final : public PrinterPageSizes {
 public:
  QStringList PrinterNames() const override;
  QList<PageForm> PageSizes(const QString& printer) const override;

  std::vector<std::pair<QString, QList<PageForm>>> printers;
};

// Call lines: "Open <name> <0|1>", "Enum <buffer size> -> <0|1>",
// "Delete <name>", "Add <name> <cx> <cy> <left> <top> <right> <bottom> -> <0|1>",
// "Props <mode>", "ResetDC <dc>", "Close".
class RecordingFormSpooler final : public FormSpooler {
 public:
  explicit RecordingFormSpooler(FormSpooler& inner) : inner_(inner) {}

  bool OpenPrinter(const QString& printerName, PrinterHandle& handle) override;
  bool EnumForms(PrinterHandle handle, uint32_t level, QByteArray& buffer, uint32_t& needed,
                 uint32_t& returned) override;
  bool DeleteForm(PrinterHandle handle, const QByteArray& formName) override;
  bool AddForm(PrinterHandle handle, uint32_t level, const FormInfo1& form) override;
  int32_t DocumentProperties(int32_t ownerWindow, PrinterHandle handle, const QString& deviceName, QByteArray* out,
                             const QByteArray* in, uint32_t mode) override;
  int32_t ResetDC(int32_t deviceContext, const QByteArray& devMode) override;
  bool ClosePrinter(PrinterHandle handle) override;

  QStringList calls;
  int openHandles = 0;               // opened and not yet closed
  std::optional<int32_t> recordSize;  // replaces the size mode 0 answers
  QByteArray currentSettings;        // the record as mode DM_OUT_BUFFER left it
  QByteArray mergeInput;             // the record handed to the merge
  QByteArray resetRecord;            // the record handed to ResetDC

 private:
  FormSpooler& inner_;
};

}  // namespace zarn::testing
