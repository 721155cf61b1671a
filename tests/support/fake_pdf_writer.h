#pragma once
// A PDF writer control for tests: records every member call as one text line,
// in the order made, and can play a machine without the writer installed.
//
// Call lines:
//   CreatePDFUtil   defaultprintername   CreatePDFSettings
//   printername <name>   setValue <name> <value>   WriteSettings <0|1>
#include <QString>
#include <QStringList>
#include <memory>

#include "platform/pdf_writer.h"

namespace zarn::testing {

class FakePdfWriter final : public PdfWriterControl {
 public:
  explicit FakePdfWriter(QString printerName = QStringLiteral("PDF Writer")) : printerName(std::move(printerName)) {}

  // Throw "ActiveX component can't create object" when not installed.
  std::unique_ptr<PDFUtil> CreatePDFUtil() override;
  std::unique_ptr<PDFSettings> CreatePDFSettings() override;

  // The values of the setValue calls, by name (the last one wins).
  QString Value(const QString& name) const;

  QString printerName;  // what defaultprintername answers
  bool installed = true;
  QStringList calls;
};

}  // namespace zarn::testing
