#pragma once
// The PDF writer printer's automation objects: the members the PDF output
// procedures call, by the names the outside component gives them.
#include <QString>
#include <memory>

namespace zarn {

class PDFUtil {
 public:
  virtual ~PDFUtil() = default;
  // Device name of the PDF writer printer, as the printer list shows it.
  virtual QString defaultprintername() const = 0;
};

class PDFSettings {
 public:
  virtual ~PDFSettings() = default;
  virtual void setPrintername(const QString& name) = 0;
  virtual void setValue(const QString& name, const QString& value) = 0;
  // With true, the values set apply to the next document printed on the printer.
  virtual void WriteSettings(bool forNextDocument) = 0;
};

class PdfWriterControl {
 public:
  virtual ~PdfWriterControl() = default;
  // Both throw ZarnError (ActiveX component can't create object) when the
  // writer is not installed.
  virtual std::unique_ptr<PDFUtil> CreatePDFUtil() = 0;
  virtual std::unique_ptr<PDFSettings> CreatePDFSettings() = 0;
};

}  // namespace zarn
