#pragma once
// Output through the PDF writer printer: set it up for one file, make it the
// current printer, and switch back afterwards.
#include <QString>

#include "engine/engine.h"

namespace zarn {

class PdfWriterControl;

void PDFPrinterOn(Engine& e, PdfWriterControl& writer, const QString& fileName, const QString& subFolder);
// As PDFPrinterOn, and the finished file is shown to the user.
void PDFONLY(Engine& e, PdfWriterControl& writer, const QString& fileName, const QString& subFolder);
void PDFPrinterOff(Engine& e);
// A "PDFNAME" line run while the writer is on: the document it stands in goes
// to that file (the next one to start, or the one begun, moved there when it
// ends: PdfDocumentEnded). Nothing outside a PDF run.
void PdfDocumentName(Engine& e, const QString& fileName, const QString& subFolder);
void PdfDocumentEnded(Engine& e);

}  // namespace zarn
