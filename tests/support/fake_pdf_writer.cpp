#include "tests/support/fake_pdf_writer.h"

#include "errortrap/error.h"

namespace zarn::testing {

namespace {

class FakeUtil final : public PDFUtil {
 public:
  explicit FakeUtil(FakePdfWriter& w) : w_(w) {}
  QString defaultprintername() const override {
    w_.calls << QStringLiteral("defaultprintername");
    return w_.printerName;
  }

 private:
  FakePdfWriter& w_;
};

class FakeSettings final : public PDFSettings {
 public:
  explicit FakeSettings(FakePdfWriter& w) : w_(w) {}
  void setPrintername(const QString& name) override { w_.calls << "printername " + name; }
  void setValue(const QString& name, const QString& value) override {
    w_.calls << "setValue " + name + " " + value;
  }
  void WriteSettings(bool forNextDocument) override {
    w_.calls << QStringLiteral("WriteSettings ") + (forNextDocument ? "1" : "0");
  }

 private:
  FakePdfWriter& w_;
};

}  // namespace

std::unique_ptr<PDFUtil> FakePdfWriter::CreatePDFUtil() {
  calls << QStringLiteral("CreatePDFUtil");
  if (!installed) Raise(RuntimeError::CannotCreateObject);
  return std::make_unique<FakeUtil>(*this);
}

std::unique_ptr<PDFSettings> FakePdfWriter::CreatePDFSettings() {
  calls << QStringLiteral("CreatePDFSettings");
  if (!installed) Raise(RuntimeError::CannotCreateObject);
  return std::make_unique<FakeSettings>(*this);
}

QString FakePdfWriter::Value(const QString& name) const {
  const QString prefix = "setValue " + name + " ";
  QString value;
  for (const QString& c : calls)
    if (c.startsWith(prefix)) value = c.mid(prefix.size());
  return value;
}

}  // namespace zarn::testing
