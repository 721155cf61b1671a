#pragma once
// Where "GF" may write and where "DI" then reads. Any web page can open a
// zarn:// link, and the service it names writes the script; so downloads are
// kept in the program's folder, whatever the current folder:
//
//  - a plain name or a relative path without ".." is taken from that folder;
//  - an absolute path, a drive path ("C:\temp\logo.png") or a path with ".."
//    is written as its last component in that folder instead;
//  - nothing is written through a symbolic link, nor over the program's own
//    files (the program, its link handler, zarn.ini, the error log, what the
//    install put there), nor below the PDF copy folder;
//  - a job's downloads stay within 512 MB in all;
//  - only http and https sources are fetched.
//
// A "DI" of the very path a "GF" of this run was given reads the file that GF
// wrote, so scripts written for the Windows client keep printing their
// pictures. Paths may use "\" as a folder separator.
#include <QHash>
#include <QString>
#include <QStringList>

namespace zarn {

class FileSystem;

class DownloadFolder {
 public:
  // folder: the program folder, no final "/"; readFolder: where relative
  // paths that no download wrote are read from (empty: the program folder).
  DownloadFolder(FileSystem& files, QString folder, QString readFolder = {});
  // The PDF copy folder, read at each download: nothing is written below it.
  void ProtectBelow(const QString* pdfFolder) { pdfFolder_ = pdfFolder; }

  struct Target {
    QString path;     // where the file is written
    QString refusal;  // why nothing is written; empty when path is good
  };
  // Where a download of source to the script's path goes, or why it may not.
  Target ForDownload(const QString& source, const QString& scriptPath) const;
  // Records a finished download, for Reading. Throws JobLimit (and removes
  // the file) when it takes the job's downloads past their total.
  void Downloaded(const QString& scriptPath, const QString& path);
  // The file a script's path names for reading: what a download of this run
  // wrote for that very path, else the path itself, a relative one taken from
  // the program folder.
  QString ForReading(const QString& scriptPath) const;

 private:
  FileSystem& files_;
  QString folder_;
  QString readFolder_;
  const QString* pdfFolder_ = nullptr;
  qint64 total_ = 0;
  QHash<QString, QString> written_;
};

}  // namespace zarn
