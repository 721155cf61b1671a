#include "tests/support/poppler.h"
#include "tests/support/gui_app.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

namespace zarn::testing {

namespace {

// A checking program's end: whether it ran to its end, its exit code and output.
struct ToolRun {
  bool finished = false;
  int exitCode = -1;
  QByteArray out, err;
};

ToolRun RunHere(const QString& program, const QStringList& args) {
  ToolRun run;
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    return run;
  }
  run.finished = true;
  run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  run.out = p.readAllStandardOutput();
  run.err = p.readAllStandardError();
  return run;
}

#ifdef _WIN32
// Under Wine a Windows program can start a Linux program (CreateProcess
// succeeds), but gets no handle to wait on, and the program's output goes to
// Wine's own instead of the handles it was given. So the checking programs,
// which are Linux's, run through /bin/sh, which writes their output and exit
// code into files that this side waits for and reads.
struct Wine {
  using UnixName = char* (*)(const wchar_t*);
  using DosName = wchar_t* (*)(const char*);
  UnixName unixName = nullptr;
  DosName dosName = nullptr;
  Wine() {
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
      unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
      dosName = reinterpret_cast<DosName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
    }
  }
};
const Wine& TheWine() {
  static const Wine wine;
  return wine;
}

QString UnixPath(const QString& path) {
  const std::wstring name = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
  char* found = TheWine().unixName(name.c_str());
  if (found == nullptr) return path;
  const QString result = QString::fromUtf8(found);
  HeapFree(GetProcessHeap(), 0, found);
  return result;
}

QString DosPath(const char* unixPath) {
  wchar_t* dos = TheWine().dosName(unixPath);
  if (dos == nullptr) return {};
  const QString result = QString::fromWCharArray(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return result;
}

QString ShellWord(QString word) {
  return QStringLiteral("'") + word.replace(QStringLiteral("'"), QStringLiteral("'\\''")) + QStringLiteral("'");
}

bool IsDrivePath(const QString& arg) {
  return arg.size() > 2 && arg[0].isLetter() && arg[1] == u':' && (arg[2] == u'/' || arg[2] == u'\\');
}

ToolRun RunUnderWine(const QString& program, const QStringList& args) {
  ToolRun run;
  QTemporaryDir dir;
  const QString out = dir.filePath("out"), err = dir.filePath("err"), status = dir.filePath("status");
  QStringList words{ShellWord(program)};
  for (const QString& arg : args) words << ShellWord(IsDrivePath(arg) ? UnixPath(arg) : arg);
  const QString script = QStringLiteral("PATH=/usr/local/bin:/usr/bin:/bin; export PATH; %1 >%2 2>%3; echo $? >%4.part; mv %4.part %4")
                             .arg(words.join(u' '), ShellWord(UnixPath(out)), ShellWord(UnixPath(err)),
                                  ShellWord(UnixPath(status)));
  // Wine splits the command line into the program's argv as Windows would:
  // the script is one quoted argument (it holds no double quote).
  std::wstring application = DosPath("/bin/sh").toStdWString();
  std::wstring commandLine = L"sh -c \"" + script.toStdWString() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info))
    return run;
  if (info.hProcess) CloseHandle(info.hProcess);
  if (info.hThread) CloseHandle(info.hThread);
  QElapsedTimer waited;
  waited.start();
  while (!QFileInfo::exists(status) && waited.elapsed() < 60000) QThread::msleep(20);
  QFile code(status);
  if (!code.open(QIODevice::ReadOnly)) return run;
  run.finished = true;
  run.exitCode = code.readAll().trimmed().toInt();
  QFile outFile(out), errFile(err);
  if (outFile.open(QIODevice::ReadOnly)) run.out = outFile.readAll();
  if (errFile.open(QIODevice::ReadOnly)) run.err = errFile.readAll();
  return run;
}
#endif

}  // namespace

QByteArray RunTool(const QString& program, const QStringList& args, bool* ok) {
  if (ok) *ok = false;
#ifdef _WIN32
  const ToolRun run = TheWine().unixName && TheWine().dosName ? RunUnderWine(program, args) : RunHere(program, args);
#else
  const ToolRun run = RunHere(program, args);
#endif
  if (!run.finished) {
    ADD_FAILURE() << program.toStdString() << " did not finish";
    return {};
  }
  const bool succeeded = run.exitCode == 0;
  if (ok) *ok = succeeded;
  if (!succeeded)
    ADD_FAILURE() << program.toStdString() << " " << args.join(' ').toStdString() << " failed: " << run.err.toStdString();
  return run.out;
}

bool MakeFolderLink(const QString& target, const QString& link) {
#ifdef _WIN32
  const std::wstring from = QDir::toNativeSeparators(link).toStdWString();
  const std::wstring to = QDir::toNativeSeparators(target).toStdWString();
  constexpr DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  CreateSymbolicLinkW(from.c_str(), to.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | kUnprivileged);
  if (QFileInfo::exists(link)) return true;
  std::printf("[ NOTE     ] CreateSymbolicLinkW made no link (Wine makes none): what goes through one is not shown\n");
  return false;
#else
  return QFile::link(target, link);
#endif
}

std::vector<Word> Words(const QString& pdf) {
  const QString html = QString::fromUtf8(RunTool("pdftotext", {"-bbox", pdf, "-"}));
  static const QRegularExpression tag(
      R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  std::vector<Word> words;
  int page = 0;
  for (auto it = tag.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    if (m.captured(0).startsWith("<page")) {
      ++page;
      continue;
    }
    words.push_back({page, m.captured(5), m.captured(1).toDouble() * 20, m.captured(2).toDouble() * 20,
                     m.captured(3).toDouble() * 20, m.captured(4).toDouble() * 20});
  }
  return words;
}

const Word* FindWord(const std::vector<Word>& words, const QString& text) {
  for (const Word& w : words)
    if (w.text == text) return &w;
  return nullptr;
}

std::vector<QSizeF> PageSizes(const QString& pdf) {
  const QString info = QString::fromUtf8(RunTool("pdfinfo", {"-f", "1", "-l", "9999", pdf}));
  static const QRegularExpression row(R"(Page\s+\d+ size:\s+([\d.]+) x ([\d.]+) pts)");
  std::vector<QSizeF> sizes;
  for (auto it = row.globalMatch(info); it.hasNext();) {
    const auto m = it.next();
    sizes.emplace_back(m.captured(1).toDouble(), m.captured(2).toDouble());
  }
  return sizes;
}

QImage Render(const QString& pdf, int dpi, int page) {
  QTemporaryDir dir;
  const QString base = dir.filePath("page");
  RunTool("pdftoppm", {"-r", QString::number(dpi), "-f", QString::number(page), "-l", QString::number(page), "-png",
                   "-singlefile", pdf, base});
  return QImage(base + ".png");
}

QColor PixelAtTwips(const QImage& page, int dpi, double x, double y) {
  return page.pixelColor(static_cast<int>(x * dpi / 1440.0), static_cast<int>(y * dpi / 1440.0));
}

}  // namespace zarn::testing
