#include "pdf/pdf_output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <array>
#include <memory>
#include <utility>

#include "engine/document.h"
#include "engine/parse_print.h"
#include "errortrap/error.h"
#include "errortrap/trap.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/pdf_writer.h"
#include "platform/print_surface.h"

namespace zarn {

namespace {

// The writer's settings for one file, in the order they are written. "Output"
// and "ShowPDF" get their values per call.
struct WriterSetting {
  const char* name;
  const char* value;
};
constexpr std::array kWriterSettings{
    WriterSetting{"Output", nullptr},
    WriterSetting{"ConfirmOverwrite", "no"},
    WriterSetting{"ShowSaveAS", "never"},
    WriterSetting{"ShowSettings", "never"},
    WriterSetting{"ShowPDF", nullptr},
    WriterSetting{"ShowProgress", "no"},
    WriterSetting{"ShowProgressFinished", "no"},
    WriterSetting{"RememberLastFileName", "no"},
    WriterSetting{"RememberLastFolderName", "no"},
};

// Without a PDF folder the day folder would land at the file system's root,
// which users cannot write on Linux; the user's documents folder (or home,
// when there is none) takes the root's place.
QString BaseFolder(const Engine& e) {
  if (!e.state.PdfFolder.isEmpty()) return e.state.PdfFolder;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!documents.isEmpty() && e.files.Exists(documents)) return documents;
  return QDir::homePath();
}

// Creates one folder level when nothing of that name exists yet, or finds it
// made meanwhile by another job. A missing upper level is "Path not found",
// any other refusal "Path/File access error".
void EnsureFolder(Engine& e, const QString& folder) {
  if (e.files.Exists(folder)) return;
  if (e.files.MakeFolder(folder)) return;
  // Another job of the same moment (the first of a day, say) made it first.
  if (e.files.Exists(folder)) return;
  const QString native = NativePath(folder);
  const qsizetype cut = native.lastIndexOf(u'/');
  const QString parent = cut > 0 ? native.left(cut) : QStringLiteral("/");
  Raise(e.files.Exists(parent) ? RuntimeError::PathFileAccess : RuntimeError::PathNotFound);
}

// A name is joined to its folder with "\", so one leading "\" of its own
// still lies inside that folder ("\\" starts a network path and stays).
QString WithoutLeadingSeparator(const QString& name) {
  return name.startsWith(u'\\') && !name.startsWith(u"\\\\") ? name.mid(1) : name;
}

// A name from a script that would put the file outside the day folder: an
// absolute path, a drive, or a ".." component. Scripts come from any web page
// that opens a link, so they must not choose where on disk a PDF goes.
bool LeavesFolder(const QString& name) {
  const QString path = NativePath(name);
  if (path.startsWith(u'/') || (path.size() >= 2 && path[1] == u':')) return true;
  for (const QStringView part : QStringView(path).split(u'/'))
    if (part == u"..") return true;
  return false;
}

// A member call on an automation object that was never created.
template <typename T>
T& Created(const std::unique_ptr<T>& object) {
  if (!object) Raise(RuntimeError::ObjectRequired);
  return *object;
}

// The file a script's name and sub-folder stand for, below today's day folder,
// the folders made on the way. Steps of the caller's trap.
QString OutputFile(Engine& e, Trap& trap, const QString& requestedName, const QString& requestedSubFolder) {
  QString fileName = WithoutLeadingSeparator(requestedName);
  QString subFolder = WithoutLeadingSeparator(requestedSubFolder);
  // The unsafe part is replaced before the error is raised, so going on after
  // it still writes inside the day folder.
  trap.Step([&] {
    if (!LeavesFolder(subFolder)) return;
    subFolder.clear();
    Raise(RuntimeError::PathFileAccess, QStringLiteral("PDF sub-folder outside the PDF folder: ") + requestedSubFolder);
  });
  trap.Step([&] {
    if (!LeavesFolder(fileName)) return;
    fileName = PdfTimeStamp(e);
    Raise(RuntimeError::PathFileAccess, QStringLiteral("PDF file name outside the PDF folder: ") + requestedName);
  });
  QString dayFolder;
  QString targetFolder;
  QString outputFile;
  trap.Step([&] { dayFolder = BaseFolder(e) + u'\\' + e.clock.Now().toString(QStringLiteral("yyyyMMdd")); });
  trap.Step([&] { EnsureFolder(e, dayFolder); });
  trap.Step([&] { targetFolder = dayFolder; });
  if (!subFolder.isEmpty()) {
    trap.Step([&] { targetFolder = dayFolder + u'\\' + subFolder; });
    trap.Step([&] { EnsureFolder(e, targetFolder); });
  }
  trap.Step([&] { outputFile = targetFolder + u'\\' + fileName + QStringLiteral(".pdf"); });
  // A name the program made from the time must not replace a file: two jobs
  // started in the same second would share it and one copy would be lost.
  // The name is claimed at once, so the other job moves on to "-2".
  if (fileName == e.state.PdfStampedName) {
    trap.Step([&] {
      const QString claimed = e.files.CreateFreeName(outputFile);
      if (claimed.isEmpty()) Raise(RuntimeError::PathFileAccess);
      outputFile = claimed;
      e.state.PdfClaimedFile = claimed;
    });
  }
  return outputFile;
}

// Writes the writer's settings for the next document to outputFile; returns
// the writer's printer name, and the settings object in settings.
QString WriteSettings(Trap& trap, PdfWriterControl& writer, const QString& outputFile, bool showPdf,
                      std::unique_ptr<PDFSettings>& settings) {
  QString writerName;
  std::unique_ptr<PDFUtil> util;
  trap.Step([&] { util = writer.CreatePDFUtil(); });
  trap.Step([&] { writerName = Created(util).defaultprintername(); });
  trap.Step([&] { settings = writer.CreatePDFSettings(); });
  trap.Step([&] { Created(settings).setPrintername(writerName); });
  for (const WriterSetting& s : kWriterSettings) {
    const QString name = QString::fromLatin1(s.name);
    QString value;
    if (name == u"Output")
      value = NativePath(outputFile);
    else if (name == u"ShowPDF")
      value = showPdf ? QStringLiteral("yes") : QStringLiteral("no");
    else
      value = QString::fromLatin1(s.value);
    trap.Step([&] { Created(settings).setValue(name, value); });
  }
  trap.Step([&] { Created(settings).WriteSettings(true); });
  return writerName;
}

// The files of this run's documents, in order, under the names they have now.
QStringList RunFiles(const Engine& e, QList<qsizetype>* at = nullptr) {
  QStringList files;
  const QList<PrintedDocument> documents = e.surface.Documents();
  for (qsizetype i = 0; i < documents.size(); ++i) {
    const QString& file = documents.at(i).file;
    if (file.isEmpty() || e.pdfRun.before.contains(file)) continue;
    const qsizetype moved = e.pdfRun.movedAt.indexOf(i);
    files << (moved < 0 ? file : e.pdfRun.movedTo.at(moved));
    if (at) *at << i;
  }
  return files;
}

// PDFPrinterOn and PDFONLY, statement by statement under the caller's trap.
// Every document of the run lands beside the first: one named by a PDFNAME
// of its own, the others under the run's name with "-2", "-3" ...
void SwitchToWriter(Engine& e, Trap& trap, PdfWriterControl& writer, const QString& requestedName,
                    const QString& requestedSubFolder, bool showPdf) {
  const QString outputFile = OutputFile(e, trap, requestedName, requestedSubFolder);
  int16_t index = -1;
  trap.Step([&] { e.state.DeviceBeforePdf = e.surface.DeviceName(); });
  std::unique_ptr<PDFSettings> settings;
  const QString writerName = WriteSettings(trap, writer, outputFile, showPdf, settings);
  // Standing settings for the run's later documents: beside the first, a file
  // already there kept (the writer takes the next free "-2", "-3" ...), none
  // shown. A writer whose objects failed has had its errors already.
  if (settings) {
    trap.Step([&] { settings->setValue(QStringLiteral("ConfirmOverwrite"), QStringLiteral("yes")); });
    trap.Step([&] { settings->setValue(QStringLiteral("ShowPDF"), QStringLiteral("no")); });
    trap.Step([&] { settings->WriteSettings(false); });
    e.pdfRun.writer = &writer;
    e.pdfRun.show = showPdf;
    e.pdfRun.before.clear();
    for (const PrintedDocument& d : e.surface.Documents()) e.pdfRun.before << d.file;
    e.pdfRun.endedAt = e.surface.Documents().size();
    e.pdfRun.moveAt = -1;
    e.pdfRun.movedAt.clear();
    e.pdfRun.movedTo.clear();
  }
  trap.Step([&] { index = PrinterIndex(e, writerName); });
  trap.Step([&] {
    if (index >= 0)
      e.printers.Select(index);
    else
      e.log.Message(QStringLiteral("Error with PDF Writer module"));
  });
}

}  // namespace

void PDFPrinterOn(Engine& e, PdfWriterControl& writer, const QString& fileName, const QString& subFolder) {
  Trap trap(Proc::PDFPrinterOn);
  SwitchToWriter(e, trap, writer, fileName, subFolder, false);
}

void PDFONLY(Engine& e, PdfWriterControl& writer, const QString& fileName, const QString& subFolder) {
  Trap trap(Proc::PDFONLY);
  SwitchToWriter(e, trap, writer, fileName, subFolder, true);
}

void PdfDocumentName(Engine& e, const QString& fileName, const QString& subFolder) {
  if (!e.pdfRun.writer) return;
  Trap trap(e.pdfRun.show ? Proc::PDFONLY : Proc::PDFPrinterOn);
  QString outputFile = OutputFile(e, trap, fileName, subFolder);
  const QString path = QFileInfo(NativePath(outputFile)).absoluteFilePath();
  QList<qsizetype> at;
  const QStringList made = RunFiles(e, &at);
  // The document the line stands in has begun (SD opens its page): its file
  // takes this name when the document ends.
  if (!made.isEmpty() && e.surface.Documents().size() > e.pdfRun.endedAt) {
    e.pdfRun.moveAt = made.last() == path ? -1 : at.last();
    e.pdfRun.moveTo = path;
    return;
  }
  // A file an earlier document of this run has (an unnamed one takes the
  // run's name, often the last PDFNAME) is not written over.
  if (made.contains(path)) {
    trap.Step([&] {
      outputFile = e.files.CreateFreeName(outputFile);
      if (outputFile.isEmpty()) Raise(RuntimeError::PathFileAccess);
    });
  }
  // Only the run's first document is shown (500 letters open no 500 viewers).
  const bool show = e.pdfRun.show && e.surface.Documents().size() == e.pdfRun.before.size();
  std::unique_ptr<PDFSettings> settings;
  WriteSettings(trap, *e.pdfRun.writer, outputFile, show, settings);
}

void PdfDocumentEnded(Engine& e) {
  Engine::PdfRun& run = e.pdfRun;
  if (!run.writer) return;
  run.endedAt = e.surface.Documents().size();
  const qsizetype at = std::exchange(run.moveAt, -1);
  QString to = std::exchange(run.moveTo, QString());
  const QList<PrintedDocument> documents = e.surface.Documents();
  if (at < 0 || at >= documents.size()) return;
  const QString from = documents.at(at).file;
  if (!QFileInfo::exists(from)) return;
  if (RunFiles(e).contains(to)) {
    // Beside the file this run wrote, under the next free number.
    to = e.files.CreateFreeName(to);
    if (to.isEmpty()) Raise(RuntimeError::PathFileAccess);
  }
  // As the writer does with "ConfirmOverwrite" "no": a file there is replaced.
  QFile::remove(to);
  if (!QFile::rename(from, to)) Raise(RuntimeError::PathFileAccess);
  run.movedAt << at;
  run.movedTo << to;
}

void PDFPrinterOff(Engine& e) {
  Trap trap(Proc::PDFPrinterOff);
  if (PdfWriterControl* writer = std::exchange(e.pdfRun.writer, nullptr)) {
    trap.Step([&] {
      for (const QString& file : RunFiles(e)) e.log.Message(QStringLiteral("PDF file '") + file + u'\'');
    });
    // The standing settings of the run end with it.
    trap.Step([&] {
      const std::unique_ptr<PDFSettings> none = writer->CreatePDFSettings();
      none->setPrintername(Created(writer->CreatePDFUtil()).defaultprintername());
      none->WriteSettings(false);
    });
  }
  // A claimed name that no document came to (an empty run) leaves no empty file.
  if (!e.state.PdfClaimedFile.isEmpty()) {
    e.files.RemoveIfEmpty(e.state.PdfClaimedFile);
    e.state.PdfClaimedFile.clear();
  }
  trap.Step([&] {
    const int count = e.printers.Count();
    for (int i = 0; i < count; ++i) {
      if (e.printers.DeviceName(i) == e.state.DeviceBeforePdf) {
        e.printers.Select(i);
        return;
      }
    }
  });
}

}  // namespace zarn
