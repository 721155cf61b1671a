#include "web/download_folder.h"

#include <QDir>
#include <QRegularExpression>
#include <algorithm>

#include "engine/job_limits.h"

#include "platform/file_system.h"

namespace zarn {

namespace {

// The program's own files in its folder, what the install put there
// included: replacing one would let the next link run what a script
// downloaded, trust a host through the example settings, or make the
// uninstall delete another file. Names compare without case, as on Windows.
const QStringList kOwnFiles{QStringLiteral("zarn"),           QStringLiteral("zarn-link"),
                            QStringLiteral("zarn-render"),    QStringLiteral("zarn.exe"),
                            QStringLiteral("zarn-render.exe"), QStringLiteral("zarn.ini"),
                            QStringLiteral("zarn.ini.example"), QStringLiteral("error_handler.txt"),
                            QStringLiteral("zarn.desktop"),   QStringLiteral("zarn.svg"),
                            QStringLiteral(".installed-files"), QStringLiteral("uninstall.exe")};
// Folders of the install, as a whole: the man pages and the PDF copies.
const QStringList kOwnFolders{QStringLiteral("man"), QStringLiteral("pdf")};

bool Names(const QStringList& list, const QString& name) { return list.contains(name, Qt::CaseInsensitive); }

// The path without "." and "..", "/" between its parts, no final "/".
QString Cleaned(const QString& path) { return QDir::cleanPath(NativePath(path)); }

// Whether path is folder or lies below it.
bool IsBelow(const QString& path, const QString& folder) {
  const QString f = Cleaned(folder);
  if (f.isEmpty()) return false;
  const QString p = Cleaned(path);
  return p.compare(f, Qt::CaseInsensitive) == 0 || p.startsWith(f + u'/', Qt::CaseInsensitive);
}

bool IsAbsolute(const QString& native) {
  return native.startsWith(u'/') || (native.size() >= 2 && native[1] == u':' && native[0].isLetter());
}

// The source's scheme in lower case ("file" for "file:/x"); empty when it
// names none, which libcurl then reads as http.
QString SchemeOf(const QString& source) {
  static const QRegularExpression scheme(QStringLiteral("^\\s*([A-Za-z][A-Za-z0-9+.-]*)://"));
  const QRegularExpressionMatch m = scheme.match(source);
  if (m.hasMatch()) return m.captured(1).toLower();
  if (source.trimmed().startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) return QStringLiteral("file");
  return {};
}

}  // namespace

DownloadFolder::DownloadFolder(FileSystem& files, QString folder, QString readFolder)
    : files_(files), folder_(std::move(folder)), readFolder_(readFolder.isEmpty() ? folder_ : std::move(readFolder)) {}

DownloadFolder::Target DownloadFolder::ForDownload(const QString& source, const QString& scriptPath) const {
  const QString scheme = SchemeOf(source);
  if (!scheme.isEmpty() && scheme != u"http" && scheme != u"https")
    return {{}, QStringLiteral("GF refused: ") + scheme + QStringLiteral(" is not an http or https address: ") + source};

  const QString native = NativePath(scriptPath);
  QStringList parts = native.split(u'/', Qt::SkipEmptyParts);
  parts.removeAll(QStringLiteral("."));
  if (IsAbsolute(native) || parts.contains(QStringLiteral(".."))) {
    // Outside the folder: only the name is kept.
    const QString name = parts.isEmpty() ? QString() : parts.last();
    parts = name == u".." || (name.size() == 2 && name[1] == u':') ? QStringList() : QStringList{name};
  }
  if (parts.isEmpty()) return {{}, QStringLiteral("GF refused: no file name in ") + scriptPath};
  if ((parts.size() == 1 && Names(kOwnFiles, parts.first())) || (parts.size() > 1 && Names(kOwnFolders, parts.first())))
    return {{}, QStringLiteral("GF refused: ") + scriptPath + QStringLiteral(" would replace the program's own file")};

  QString path = folder_;
  for (const QString& part : parts) {
    path += u'/' + part;
    if (files_.IsLink(path))
      return {{}, QStringLiteral("GF refused: ") + scriptPath + QStringLiteral(" goes through a symbolic link")};
  }
  if (pdfFolder_ && IsBelow(path, *pdfFolder_))
    return {{}, QStringLiteral("GF refused: ") + scriptPath + QStringLiteral(" lies in the PDF copy folder")};
  return {path, {}};
}

void DownloadFolder::Downloaded(const QString& scriptPath, const QString& path) {
  written_.insert(scriptPath, path);
  total_ += std::max<qint64>(files_.Size(path), 0);
  if (total_ <= kMaxJobDownloadBytes) return;
  // The download that crossed the total goes again: the job's stay within it.
  files_.Remove(path);
  written_.remove(scriptPath);
  throw JobLimit{QStringLiteral("The job's downloads pass 512 MB in all; the job was stopped.")};
}

QString DownloadFolder::ForReading(const QString& scriptPath) const {
  if (const auto it = written_.constFind(scriptPath); it != written_.constEnd()) return *it;
  const QString native = NativePath(scriptPath);
  if (native.isEmpty() || IsAbsolute(native)) return scriptPath;
  return readFolder_ + u'/' + native;
}

}  // namespace zarn
