// A paper size command on the real surface, read back from the PDF it makes.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "engine/engine.h"
#include "engine/interpreter.h"
#include "forms/paper_size.h"
#include "linux/file_form_spooler.h"
#include "qt/pdf_writer_printer.h"
#include "qt/qt_print_surface.h"
#include "tests/support/fakes.h"
#include "tests/support/gui_app.h"
#include "tests/support/poppler.h"
#include "tests/support/qstring_printer.h"
#include "tests/support/recording_surface.h"  // FakePictureLoader

namespace zarn {
namespace {

// The real surface on our PDF writer, with the file form store.
struct PaperPdf {
  int gui = (testing::EnsureGuiApp(), 0);  // before the surface
  testing::ScopedTrapHost trap;
  QTemporaryDir dir;
  PdfWriterPrinter writer{[](const QString&) {}, dir.filePath("documents")};
  QtPrintSurface surface{writer, {}, {}};
  QtPrinterPageSizes pageSizes{surface};
  FileFormSpooler spooler{pageSizes, surface, dir.filePath("forms")};
  testing::FakePictureLoader pictures;
  RunLog log;
  Engine engine{surface, surface, log, trap.dialogs, trap.files, pictures, trap.clock};
};

TEST(PaperSizePdf, PagesAfterPszComeOutOnTheFormSize) {
  PaperPdf p;
  auto& [gui, trap, dir, writer, surface, pageSizes, spooler, pictures, log, engine] = p;
  engine.PaperSize = BindPaperSize(engine, spooler);

  const QString pdf = dir.filePath("card.pdf");
  auto settings = writer.CreatePDFSettings();
  settings->setPrintername(PdfWriterPrinter::Name());
  settings->setValue("Output", pdf);
  settings->setValue("ConfirmOverwrite", "no");
  settings->WriteSettings(true);

  ExecutePrintScript(engine, "SSD\r\nPSZ|10|15|MyForm\r\nPT|100|100|One|0|0|L|0\r\nNP\r\nPT|100|100|Two|0|0|L|0\r\nED\r\n",
                     0, 0);
  EXPECT_TRUE(trap.Errors().isEmpty()) << trap.Errors().join('\n').toStdString();
  EXPECT_TRUE(log.Text().contains("PaperSize: Form 'MyForm' width:10 CM , Height:15 CM")) << log.Text().toStdString();

  const std::vector<QSizeF> sizes = testing::PageSizes(pdf);
  ASSERT_EQ(sizes.size(), 2u);
  for (const QSizeF& s : sizes) {
    EXPECT_NEAR(s.width(), 100 / 25.4 * 72, 0.5);   // 283.46 pt
    EXPECT_NEAR(s.height(), 150 / 25.4 * 72, 0.5);  // 425.20 pt
  }
}

TEST(PaperSizePdf, PsmGivesALabelInMillimetres) {
  PaperPdf p;
  auto& [gui, trap, dir, writer, surface, pageSizes, spooler, pictures, log, engine] = p;
  engine.PaperSizeMm = BindPaperSizeMm(engine, spooler);

  ExecutePrintScript(engine, "SSD\r\nPSM|62|29|Label\r\nPT|100|100|Label|0|0|L|0\r\nED\r\n", 0, 0);
  EXPECT_TRUE(trap.Errors().isEmpty()) << trap.Errors().join('\n').toStdString();
  EXPECT_TRUE(log.Text().contains("PaperSize:'W=62 mm, H=29 mm, FormName=Label'")) << log.Text().toStdString();
  EXPECT_TRUE(log.Text().contains("width:6.2 CM , Height:2.9 CM")) << log.Text().toStdString();
  const QStringList pdfs = QDir(dir.filePath("documents")).entryList({"*.pdf"});
  ASSERT_EQ(pdfs.size(), 1);
  const std::vector<QSizeF> sizes = testing::PageSizes(dir.filePath("documents/" + pdfs.first()));
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_NEAR(sizes[0].width(), 62 / 25.4 * 72, 0.5);
  EXPECT_NEAR(sizes[0].height(), 29 / 25.4 * 72, 0.5);
}

}  // namespace
}  // namespace zarn
