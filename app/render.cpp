// zarn-render: runs a print script from a file (or standard input) the way
// the client runs it, into a PDF or PNG pages, without a printer. Errors the
// client would ask about are printed with their error-log line and ignored.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "app/render_tools.h"
#include "app/wiring.h"
#include "engine/interpreter.h"
#include "engine/parse_print.h"
#include "engine/script_check.h"
#include "errortrap/exception_guard.h"
#include "errortrap/trap.h"
#include "launch/settings_file.h"
#include "qt/real_file_system.h"
#include "qt/system_clock.h"
#include "version.h"
#ifdef _WIN32
#include "windows/folders.h"
#else
#include "linux/program_folder.h"
#endif

namespace zarn {
namespace {

constexpr char kUsage[] =
    "usage: zarn-render SCRIPT [-o OUT.pdf | -o OUT.png] [--settings zarn.ini]\n"
    "       zarn-render --check SCRIPT\n"
    "       zarn-render --measure FONT SIZE BOLD ITALIC WIDTH TEXT\n"
    "       zarn-render --commands\n"
    "       zarn-render --help | --version\n"
    "  Runs the print script SCRIPT (\"-\": standard input) as the client does,\n"
    "  on our PDF writer printer alone. Every document the script prints goes\n"
    "  into OUT.pdf (default: out.pdf), one after the other. With OUT.png the\n"
    "  pages become OUT-1.png, OUT-2.png ... (OUT-01.png from ten pages on),\n"
    "  drawn at 96 dots per inch as the PDF writer draws them. Errors are\n"
    "  printed on standard error with their error-log line and ignored;\n"
    "  message boxes are printed.\n"
    "  --settings reads the client's settings file (PDF copy switch, PDF folder,\n"
    "             service hosts that \"GF\" downloads may ask).\n"
    "  --check draws and runs nothing: it lists every line the client\n"
    "  would skip or reject (unknown keyword, missing field, no number, number\n"
    "  too large, repeat field names no data line fills, data lines with too\n"
    "  many values ...) as SCRIPT:LINE: KIND: MESSAGE, and warns about lines\n"
    "  that run but not as meant: a DEV name that no printer here has exactly,\n"
    "  SD paper or orientation in lower case, a CR LF field or data line of a\n"
    "  repeat section without its closing \"|\". It then runs the script\n"
    "  without a printer and warns where a text, box, line or picture falls\n"
    "  outside the printable page, where a character has no glyph in any\n"
    "  installed font, and where SFY places output on a page that the page\n"
    "  bottom has just turned. Exits 1 when it lists\n"
    "  anything, 0 when it lists nothing.\n"
    "  --measure prints the height in twips of TEXT word-wrapped to WIDTH twips\n"
    "  as PT wraps it, in the font SF FONT|SIZE|BOLD|ITALIC sets.\n"
    "  --commands prints the interpreter's command table as JSON: every\n"
    "  keyword in search order with its fields (name; type text, long = 32-bit\n"
    "  whole number or short = 16-bit, mm = millimetres with one decimal; optional; emptyEnds: an empty value\n"
    "  ends the command) and whether the PDF copy run executes it.\n"
    "  No display is needed. Exit status: 0 when the pages are written without\n"
    "  an error, 1 after errors or when nothing was printed (--check: when it\n"
    "  lists anything), 2 for a wrong command line or a file that cannot be\n"
    "  read or written.\n";

// Prints instead of asking: message boxes on standard output, the trap's
// question on standard error, answered Ignore.
class PrintingDialogs final : public Dialogs {
 public:
  void Message(const QString& title, const QString& text) override {
    std::cout << "MSGBOX " << title.toStdString() << ": " << QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" / ")).toStdString() << "\n";
  }
  TrapChoice AbortRetryIgnore(const QString&, const QString& text, const QString&) override {
    std::cerr << "error: " << text.toStdString() << "\n";
    ++errors;
    return TrapChoice::Ignore;
  }
  int errors = 0;
};

// Names the PDF writer's documents in the order they are finished.
class CountingClock final : public Clock {
 public:
  QDateTime Now() const override { return base_.addSecs(n_++); }
 private:
  QDateTime base_ = QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0));
  mutable int n_ = 0;
};

// Reads the script file, or standard input for "-"; false when it cannot.
bool ReadScript(const QString& path, QString& script) {
  QFile in;
  const bool opened = path == QLatin1String("-") ? in.open(stdin, QIODevice::ReadOnly)
                                                 : (in.setFileName(path), in.open(QIODevice::ReadOnly));
  if (!opened) {
    std::cerr << "zarn-render: cannot read " << path.toStdString() << "\n";
    return false;
  }
  script = QString::fromUtf8(in.readAll());
  return true;
}

// The printers a job started here would see, in the client's own list.
MachinePrinters PrintersHere() {
  PdfWriterPrinter pdfWriter(PdfWriterPrinter::Viewer([](const QString&) {}));
  QtPrintSurface surface(pdfWriter);
  MachinePrinters printers;
  for (int i = 0; i < surface.Count(); ++i) printers.names << surface.DeviceName(i);
  printers.current = surface.DeviceName();
  return printers;
}

int Check(const QString& path) {
  QString script;
  if (!ReadScript(path, script)) return 2;
  const std::string name = (path == QLatin1String("-") ? QStringLiteral("stdin") : path).toStdString();
  const MachinePrinters printers = PrintersHere();
  QList<ScriptFinding> findings = CheckPrintScript(script, &printers);
  findings += LayoutFindings(script);
  std::stable_sort(findings.begin(), findings.end(),
                   [](const ScriptFinding& a, const ScriptFinding& b) { return a.line < b.line; });
  for (const ScriptFinding& f : findings)
    std::cout << name << ':' << f.line << ": " << FindingKindName(f.kind).toStdString() << ": "
              << f.message.toStdString() << "\n";
  if (findings.isEmpty()) {
    std::cout << name << ": every line runs as written\n";
    return 0;
  }
  const auto warnings = std::count_if(findings.begin(), findings.end(),
                                      [](const ScriptFinding& f) { return IsWarning(f.kind); });
  const auto rejected = findings.size() - warnings;
  std::cout << name << ": " << rejected << (rejected == 1 ? " line" : " lines") << " the client skips or rejects, "
            << warnings << (warnings == 1 ? " warning" : " warnings") << "\n";
  return 1;
}

// The interpreter's own command table as JSON, for references and builders.
int PrintCommands() {
  QJsonArray commands;
  for (const CommandInfo& c : CommandTable()) {
    QJsonArray fields;
    bool optional = false;
    qsizetype at = 0;
    for (const QChar t : c.fieldTypes) {
      if (t == u'/') {
        optional = true;
        continue;
      }
      QJsonObject field{{"name", c.fieldNames.at(at++)},
                        {"type", t == u'N' || t == u'L' ? "long" : t == u'S' ? "short" : t == u'M' ? "mm" : "text"}};
      if (optional) field.insert("optional", true);
      if (t == u'E') field.insert("emptyEnds", true);
      fields.append(field);
    }
    commands.append(QJsonObject{{"keyword", c.keyword}, {"fields", fields}, {"pdfCopy", c.inPdfCopy}});
  }
  std::cout << QJsonDocument(QJsonObject{{"commands", commands}}).toJson(QJsonDocument::Indented).toStdString();
  return 0;
}

// The files of the documents the surface wrote, in the order they were
// finished; a file written again (a PDF name used twice) counts where it was
// written last, as it holds that document.
QStringList DocumentFiles(const QList<PrintedDocument>& documents) {
  QStringList files;
  for (const PrintedDocument& d : documents) {
    if (d.file.isEmpty()) continue;
    files.removeAll(d.file);
    files << d.file;
  }
  return files;
}

constexpr int kPreviewDpi = 96;

// The pages as STEM-1.png, STEM-2.png ..., numbered with as many digits as
// the last page's number has (STEM-01.png from ten pages on).
bool WritePages(const QList<QByteArray>& pages, const QString& stem) {
  const int digits = static_cast<int>(QString::number(pages.size()).size());
  for (qsizetype i = 0; i < pages.size(); ++i) {
    const QString path = QStringLiteral("%1-%2.png").arg(stem).arg(i + 1, digits, 10, QLatin1Char('0'));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pages[i]) != pages[i].size()) {
      std::cerr << "zarn-render: cannot write " << path.toStdString() << "\n";
      return false;
    }
  }
  return true;
}

int Run(int argc, char** argv) {
  QString scriptPath, out = QStringLiteral("out.pdf"), settingsPath;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    const QString a = QString::fromLocal8Bit(argv[i]);
    if (a == QLatin1String("--check")) {
      check = true;
    } else if (a == QLatin1String("--commands")) {
      return PrintCommands();
    } else if (a == QLatin1String("--measure")) {
      QStringList rest;
      for (++i; i < argc; ++i) rest << QString::fromLocal8Bit(argv[i]);
      return Measure(rest);
    } else if ((a == QLatin1String("-o") || a == QLatin1String("--settings")) && i + 1 < argc) {
      (a == QLatin1String("-o") ? out : settingsPath) = QString::fromLocal8Bit(argv[++i]);
    } else if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
      std::cout << kUsage << "  The client's own files (zarn.ini ...) are in " << ProgramFolder().toStdString()
                << ".\nSee zarn-render(1).\n";
      return 0;
    } else if (a == QLatin1String("--version")) {
      std::cout << "zarn-render " << kVersionText << "\n";
      return 0;
    } else if (scriptPath.isEmpty() && (a == QLatin1String("-") || !a.startsWith(u'-'))) {
      scriptPath = a;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  if (scriptPath.isEmpty()) {
    std::cerr << kUsage;
    return 2;
  }
  if (check) return Check(scriptPath);
  QString script;
  if (!ReadScript(scriptPath, script)) return 2;
  const bool png = out.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);

  QTemporaryDir work;
  if (!work.isValid()) return 2;
  RealFileSystem files;
  PrintingDialogs dialogs;
  SystemClock clock;
  CountingClock pdfClock;
  TrapHost host;
  host.dialogs = &dialogs;
  host.clock = &clock;
  host.files = &files;
  host.errorLogPath = work.filePath(QStringLiteral("error_handler.txt"));
  host.abort = [] { std::_Exit(1); };
  InstallTrapHost(&host);
  vbwInitializeProtector();

  const QString docs = work.filePath(QStringLiteral("documents"));
  QStringList pdfs;
  QList<QByteArray> pages;  // PNG files
  {
    WiringOptions options;
    options.programFolder = work.path();
    options.processEvents = [] { QCoreApplication::processEvents(); };
    options.pdfWriterOnly = true;
    // Pictures beside the script's author, not in the scratch folder.
    options.readFolder = QDir::currentPath();
    options.pdfFolder = docs;
    options.pdfClock = &pdfClock;
    EngineWiring wiring(dialogs, files, clock, options);
    PrintState& state = wiring.engine.state;
    if (!settingsPath.isEmpty()) {
      QFile ini(settingsPath);
      if (!ini.open(QIODevice::ReadOnly)) {
        std::cerr << "zarn-render: cannot read " << settingsPath.toStdString() << "\n";
        return 2;
      }
      Trap trap(Proc::Form_Load);
      SettingsReader settings(ini.readAll());
      ReadSettingsLines(trap, settings, state, &wiring.hosts.allowed);
    }
    // Without a PDF folder of its own, PDF-only and PDF copy output stays in
    // the scratch folder too, instead of the user's documents folder.
    if (state.PdfFolder.isEmpty()) {
      state.PdfFolder = work.filePath(QStringLiteral("pdf"));
      QDir().mkpath(state.PdfFolder);
    }
    if (png) {
      wiring.surface.PaintPdfWriterOnImages(kPreviewDpi,
                                            [&pages](const QList<QByteArray>& document) { pages << document; });
    }
    ParsePrint(wiring.engine, script, 0);
    wiring.surface.FinishAll();
    pdfs = DocumentFiles(wiring.surface.Documents());
  }
  if (png ? pages.isEmpty() : pdfs.isEmpty()) {
    std::cerr << "zarn-render: the script printed nothing\n";
    return 1;
  }
  if (png) {
    if (!WritePages(pages, out.chopped(4))) return 2;
  } else {
    QFile::remove(out);
    if (pdfs.size() == 1) {
      if (!QFile::copy(pdfs.first(), out)) return 2;
    } else if (QProcess::execute(QStringLiteral("pdfunite"), QStringList(pdfs) << out) != 0) {
      std::cerr << "zarn-render: pdfunite failed\n";
      return 2;
    }
  }
  return dialogs.errors > 0 ? 1 : 0;
}

}  // namespace
}  // namespace zarn

int main(int argc, char** argv) {
  // Pages are drawn off screen, so the output never depends on a display,
  // and servers without one render alike; a platform the user names wins.
  // Windows' own platform needs no display, and Qt's offscreen one has no
  // fonts there: text would vanish.
#ifndef _WIN32
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  // The command table draws nothing, so it needs no window system at all.
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--commands") {
      QCoreApplication app(argc, argv);
      return zarn::Run(argc, argv);
    }
  }
  QGuiApplication app(argc, argv);
  return zarn::Run(argc, argv);
}
