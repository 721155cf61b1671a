#include "app/render_tools.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <cmath>
#include <iostream>

#include "app/silent_dialogs.h"
#include "app/wiring.h"
#include "engine/fonts.h"
#include "engine/interpreter.h"
#include "engine/parse_print.h"
#include "engine/text.h"
#include "errortrap/convert.h"
#include "errortrap/error.h"
#include "errortrap/trap.h"
#include "platform/print_surface.h"
#include "qt/real_file_system.h"
#include "qt/system_clock.h"

namespace zarn {

namespace {

// Whether some installed font draws the character; asked once per character.
bool AnyFontHas(char32_t c) {
  static QHash<char32_t, bool> known;
  const auto found = known.constFind(c);
  if (found != known.cend()) return *found;
  bool has = false;
  for (const QString& family : QFontDatabase::families()) {
    if (QFontMetricsF(QFont(family)).inFontUcs4(c)) {
      has = true;
      break;
    }
  }
  known.insert(c, has);
  return has;
}

struct Watch {
  Engine& e;
  QStringList lines;  // the script's lines, or the repeat template's
  QList<ScriptFinding> found;
  QSet<QString> seen;
  int brokenAt = 0;  // the line whose SFYR turned the page, until SFY is reported
  int lastLine = 0;

  void Add(int line, ScriptFinding::Kind kind, const QString& message) {
    if (seen.contains(QString::number(line) + message)) return;
    seen.insert(QString::number(line) + message);
    found.append({line, kind, message});
  }

  bool IsSfy(int line) const {
    return WithoutLeadingSpaces(lines.value(line - 1)).section(u'|', 0, 0).toUpper() == u"SFY";
  }

  // The lines run since the last drawing, in the order they ran.
  QList<int> LinesBetween(int from, int to) const {
    QList<int> out;
    if (to > from) {
      for (int i = from + 1; i < to; ++i) out << i;
    } else {
      for (int i = from + 1; i <= lines.size(); ++i) out << i;
      for (int i = 1; i < to; ++i) out << i;
    }
    return out;
  }

  void Drawn(double x, double y, double width, double height, const QString& text) {
    const int line = e.line;
    if (brokenAt > 0) {
      for (int i : LinesBetween(lastLine, line)) {
        if (!IsSfy(i)) continue;
        Add(i, ScriptFinding::Kind::BreakThenAbove,
            QStringLiteral("SFY places output by its position on the page, but line %1 has just turned the page at "
                           "the page bottom (%2 twips): what follows lands on the new page")
                .arg(brokenAt)
                .arg(e.state.PageBottom));
        brokenAt = 0;
        break;
      }
    }
    lastLine = line;
    const double pageWidth = e.surface.PageWidth(), pageHeight = e.surface.PageHeight();
    // A text line whose lower half runs off the sheet has its baseline there:
    // a few twips of descent past the edge lose nothing anyone reads.
    const double lowest = text.isEmpty() ? y + height : y + height / 2;
    const bool inside = x >= 0 && y >= 0 && x + width <= pageWidth + 1 && lowest <= pageHeight + 1;
    if (!inside) {
      const QString what = text.isEmpty() ? QStringLiteral("what this line draws")
                                          : QStringLiteral("the text \"%1\"").arg(text.left(40));
      Add(line, ScriptFinding::Kind::OffPage,
          QStringLiteral("%1 (%2, %3 to %4, %5 twips) falls outside the printable page (%6 x %7 twips) and is lost")
              .arg(what)
              .arg(std::lround(x))
              .arg(std::lround(y))
              .arg(std::lround(x + width))
              .arg(std::lround(y + height))
              .arg(std::lround(pageWidth))
              .arg(std::lround(pageHeight)));
    }
    QStringList missing;
    for (const char32_t c : text.toUcs4()) {
      const QString code = QStringLiteral("U+") + QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, u'0');
      if (c > u' ' && !AnyFontHas(c) && !missing.contains(code)) missing << code;
    }
    if (!missing.isEmpty())
      Add(line, ScriptFinding::Kind::NoGlyph,
          missing.join(QStringLiteral(", ")) + QStringLiteral(" has no glyph in any installed font: it prints as a blank box"));
  }
};

// The client's engine on our PDF writer alone, its files in a scratch folder.
struct ScratchEngine {
  ScratchEngine() {
    options.programFolder = work.path();
    options.pdfWriterOnly = true;
    options.pdfFolder = work.filePath(QStringLiteral("documents"));
  }
  QTemporaryDir work;
  RealFileSystem files;
  SilentDialogs dialogs{TrapChoice::Ignore};
  SystemClock clock;
  WiringOptions options;
};

}  // namespace

QList<ScriptFinding> LayoutFindings(const QString& script) {
  ScratchEngine scratch;
  QTemporaryDir& work = scratch.work;
  RealFileSystem& files = scratch.files;
  SilentDialogs& dialogs = scratch.dialogs;
  SystemClock& clock = scratch.clock;
  TrapHost host;
  host.dialogs = &dialogs;
  host.clock = &clock;
  host.files = &files;
  host.errorLogPath = work.filePath(QStringLiteral("error_handler.txt"));
  TrapHost* before = CurrentTrapHost();
  InstallTrapHost(&host);
  QList<ScriptFinding> found;
  {
    EngineWiring wiring(dialogs, files, clock, scratch.options);
    Engine& e = wiring.engine;
    e.state.PdfFolder = work.filePath(QStringLiteral("pdf"));
    QDir().mkpath(e.state.PdfFolder);
    // Nothing is fetched: a check runs offline.
    e.DownloadFile = [](const QString&, const QString&) { return int16_t{0}; };
    Watch watch{e, {}, {}, {}};
    const qsizetype repeatAt = script.indexOf(kRepeatMarker);
    watch.lines = SplitScriptLines(repeatAt >= 0 ? script.left(repeatAt) : script);
    e.Drawn = [&watch](double x, double y, double w, double h, const QString& text) { watch.Drawn(x, y, w, h, text); };
    e.PageBroken = [&watch, &e] { watch.brokenAt = e.line; watch.lastLine = e.line; };
    ParsePrint(e, script, 0);
    wiring.surface.FinishAll();
    found = watch.found;
  }
  InstallTrapHost(before);
  return found;
}

int Measure(const QStringList& args) {
  if (args.size() != 6) {
    std::cerr << "usage: zarn-render --measure FONT SIZE BOLD ITALIC WIDTH TEXT\n";
    return 2;
  }
  int32_t size = 0, bold = 0, italic = 0, width = 0;
  try {
    size = FieldToLong(args.at(1));
    bold = FieldToLong(args.at(2));
    italic = FieldToLong(args.at(3));
    width = FieldToLong(args.at(4));
  } catch (const ZarnError&) {
    std::cerr << "zarn-render: SIZE, BOLD, ITALIC and WIDTH are numbers\n";
    return 2;
  }
  ScratchEngine scratch;
  EngineWiring wiring(scratch.dialogs, scratch.files, scratch.clock, scratch.options);
  Engine& e = wiring.engine;
  SetFont(e, args.at(0), size, bold, italic);
  double height = 0;
  for (const QString& line : SplitLines(e, args.at(5), width)) height += e.surface.TextHeight(line);
  std::cout << std::lround(height) << "\n";
  return 0;
}

}  // namespace zarn
