#include "tests/support/poppler.h"
#include "tests/support/gui_app.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zarn::testing {

QByteArray RunTool(const QString& program, const QStringList& args, bool* ok) {
  if (ok) *ok = false;
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    ADD_FAILURE() << program.toStdString() << " did not finish";
    return {};
  }
  const bool succeeded = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (ok) *ok = succeeded;
  if (!succeeded)
    ADD_FAILURE() << program.toStdString() << " " << args.join(' ').toStdString() << " failed: "
                  << p.readAllStandardError().toStdString();
  return p.readAllStandardOutput();
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
