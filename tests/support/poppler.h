#pragma once
// Reading rendered PDF files back with poppler's command-line tools (and
// other checking programs), and the Qt application the real surface needs.
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <vector>

#include "tests/support/gui_app.h"

namespace zarn::testing {

// Runs a program to its end (bounded) and returns its standard output; an
// exit code other than 0 fails the calling test (and clears *ok when given).
QByteArray RunTool(const QString& program, const QStringList& args, bool* ok = nullptr);

// A symbolic link at `link` to the folder `target`: QFile::link on Linux,
// CreateSymbolicLinkW on Windows. False when none was made: Wine 8 answers
// that call without making a link (and shows a Linux link as a reparse point
// without a tag, which no one can tell from other reparse points).
bool MakeFolderLink(const QString& target, const QString& link);

struct Word {
  int page;  // from 1
  QString text;
  double xMin, yMin, xMax, yMax;  // twips from the page's top-left corner
};
std::vector<Word> Words(const QString& pdf);
const Word* FindWord(const std::vector<Word>& words, const QString& text);

// Page sizes in points, one per page.
std::vector<QSizeF> PageSizes(const QString& pdf);

// Page `page` (from 1) rendered at dpi dots per inch.
QImage Render(const QString& pdf, int dpi, int page = 1);
// The pixel at a point given in twips, on a page rendered at dpi.
QColor PixelAtTwips(const QImage& page, int dpi, double x, double y);

}  // namespace zarn::testing
