#include "web/download_folder.h"

#include <QRegularExpression>

#include "platform/file_system.h"

namespace zarn {

namespace {

// The program's own files in its folder: replacing one would let the next
// link run what a script downloaded.
const QStringList kOwnFiles{QStringLiteral("zarn"),         QStringLiteral("zarn-link"),
                            QStringLiteral("zarn-render"),  QStringLiteral("zarn.ini"),
                            QStringLiteral("error_handler.txt"), QStringLiteral("zarn.desktop")};

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

DownloadFolder::DownloadFolder(const FileSystem& files, QString folder, QString readFolder)
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
  if (parts.size() == 1 && kOwnFiles.contains(parts.first()))
    return {{}, QStringLiteral("GF refused: ") + scriptPath + QStringLiteral(" would replace the program's own file")};

  QString path = folder_;
  for (const QString& part : parts) {
    path += u'/' + part;
    if (files_.IsLink(path))
      return {{}, QStringLiteral("GF refused: ") + scriptPath + QStringLiteral(" goes through a symbolic link")};
  }
  return {path, {}};
}

void DownloadFolder::Downloaded(const QString& scriptPath, const QString& path) { written_.insert(scriptPath, path); }

QString DownloadFolder::ForReading(const QString& scriptPath) const {
  if (const auto it = written_.constFind(scriptPath); it != written_.constEnd()) return *it;
  const QString native = NativePath(scriptPath);
  if (native.isEmpty() || IsAbsolute(native)) return scriptPath;
  return readFolder_ + u'/' + native;
}

}  // namespace zarn
