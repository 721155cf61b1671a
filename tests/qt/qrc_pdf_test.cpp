// QR codes made by the QRC command, printed through the real print surface on
// our PDF writer printer, rendered back to pixels with pdftoppm and read with
// zbarimg: what reaches the page must still be the text.
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "engine/interpreter.h"
#include "pdf/pdf_output.h"
#include "platform/qr_canvas.h"
#include "qr/qrc_command.h"
#include "qt/pdf_writer_printer.h"
#include "qt/qt_picture.h"
#include "qt/qt_print_surface.h"
#include "qt/qt_qr_canvas.h"
#include "tests/qr/round_trip_texts.h"
#include "tests/qr/zbar.h"
#include "tests/support/fakes.h"
#include "tests/support/gui_app.h"
#include "tests/support/poppler.h"

namespace zarn {
namespace {

using namespace zarn::testing;

TEST(QrcPdf, EveryCodePrintedIntoAPdfReadsBackAsItsText) {
  struct Row {
    const char* name;
    QByteArray text;
  };
  const std::vector<Row> rows{
      {"digits", kQrDigits},
      {"upper case", kQrUpperCase},
      {"UTF-8", kQrUtf8},
      {"2000 characters", QrLongText()},
      // The same symbol size as the digits row, right after it: the bitmap
      // file is rewritten in place and must not be taken for the old one.
      {"other digits", QByteArray(kQrDigits).replace('1', '9')},
  };
  EnsureGuiApp();
  ScopedTrapHost trap;
  QTemporaryDir base;
  PdfWriterPrinter writer{[](const QString&) {}, base.path() + "/documents", &trap.clock};
  QtPrintSurface surface{writer, {}, {}};
  QtPictureLoader pictures;
  QtQrCanvas canvas;
  RunLog log;
  Engine engine{surface, surface, log, trap.dialogs, trap.files, pictures, trap.clock};
  engine.programFolder = base.path();
  engine.state.PdfFolder = base.path() + "/pdf";
  QDir().mkpath(engine.state.PdfFolder);
  engine.QRC = [&](const QString& text, const std::function<PicturePlace()>& place) {
    return RunQrc(engine, canvas, {}, text, place);
  };

  // One page per row, 4 inches square, one inch from the corner.
  QString script = QStringLiteral("SD|P|A4|1\r\n");
  for (const Row& r : rows) script += "QRC|" + QString::fromUtf8(r.text) + "|1440|1440|5760|5760\r\nNP\r\n";
  script += QStringLiteral("ED\r\n");
  PDFPrinterOn(engine, writer, QStringLiteral("codes"), QString());
  ExecutePrintScript(engine, script, 0, 0);
  PDFPrinterOff(engine);
  EXPECT_TRUE(trap.Errors().isEmpty()) << trap.Errors().join(u'\n').toStdString();

  QDirIterator found(engine.state.PdfFolder, {"codes.pdf"}, QDir::Files, QDirIterator::Subdirectories);
  ASSERT_TRUE(found.hasNext());
  const QString pdf = found.next();
  for (int page = 1; page <= static_cast<int>(rows.size()); ++page) {
    const Row& r = rows[page - 1];
    const QString png = base.filePath(QStringLiteral("page-%1").arg(page));
    // 150 dpi: at least 3 pixels a module for the 2000 characters' version 33.
    bool rendered = false;
    RunTool("pdftoppm",
            {"-png", "-r", "150", "-singlefile", "-f", QString::number(page), "-l", QString::number(page), pdf, png},
            &rendered);
    ASSERT_TRUE(rendered) << r.name;
    EXPECT_EQ(testing_zbar::Decode(png + ".png"), r.text) << r.name;
  }
}

}  // namespace
}  // namespace zarn
