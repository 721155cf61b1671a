#include "engine/parse_print.h"

#include <QStringList>
#include <array>

#include "engine/document.h"
#include "engine/interpreter.h"
#include "errortrap/error.h"
#include "errortrap/trap.h"
#include "platform/clock.h"

namespace zarn {

namespace {

constexpr std::u16string_view kRecordMarker = kDataMarkers[0].text;
static_assert(kDataMarkers[0].action == DataAction::PrintRecord);

// Every occurrence of name, left to right, inserted text not searched again.
// An empty name matches nothing (QString would insert between every character).
void ReplaceAll(QString& text, const QString& name, const QString& value) {
  if (name.isEmpty()) return;
  text.replace(name, value, Qt::CaseSensitive);
}

// The template and the field names, cut from the script once.
struct RepeatSection {
  QString templateText;
  QStringList rest;  // the text between the first marker and a second one, split at LF
  QString fieldLine;
  QStringList fieldNames;  // position 0 is the marker itself
};

void RunDataLine(Engine& e, Trap& trap, const RepeatSection& section, const QString& line, int16_t pdfPass) {
  for (const DataMarker& marker : kDataMarkers) {
    if (!line.contains(QStringView(marker.text))) continue;
    switch (marker.action) {
      case DataAction::PrintRecord: {
        QStringList values;
        QString filled;
        ++e.record;
        if (e.Progress) e.Progress();
        trap.Step([&] { e.log.Message(QStringLiteral("RepeatData are:'") + line + u'\''); });
        trap.Step([&] { values = line.split(u'|'); });
        // One step for the whole record: an ignored missing name keeps the
        // replacements made before it, and the record still prints.
        trap.Step([&] {
          filled = section.templateText;
          FillRecord(filled, section.fieldNames, values);
        });
        trap.Step([&] { ExecutePrintScript(e, filled, pdfPass, kFalse); });
        break;
      }
      case DataAction::EndDocument:
        trap.Step([&] { EndDoc(e); });
        break;
      case DataAction::SelectDevice:
        trap.Step([&] {
          Fields fields;
          FieldArgs args;
          ReadCommandFields(marker.text, line, fields, args);
          DeviceName(e, args.Text(1));
        });
        break;
      case DataAction::SetPaperSize:
      case DataAction::SetPaperSizeMm:
        trap.Step([&] {
          Fields fields;
          FieldArgs args;
          ReadCommandFields(marker.text, line, fields, args);
          const bool mm = marker.action == DataAction::SetPaperSizeMm;
          int32_t width = mm ? args.Tenths(1) : args.Long(1);
          int32_t height = mm ? args.Tenths(2) : args.Long(2);
          QString formName = args.Text(3);
          const auto& paperSize = mm ? e.PaperSizeMm : e.PaperSize;
          if (paperSize) paperSize(width, height, formName);
        });
        break;
    }
  }
}

void RunRepeat(Engine& e, Trap& trap, const QString& script, qsizetype markerAt, int16_t pdfPass) {
  RepeatSection section;
  trap.Step([&] { e.log.Message(QStringLiteral("Repeat found")); });
  trap.Step([&] { section.templateText = script.left(markerAt); });
  trap.Step([&] { section.rest = RepeatRest(script, markerAt); });
  trap.Step([&] { section.fieldLine = kRepeatMarker.toString() + section.rest.value(0); });
  trap.Step([&] { section.fieldNames = section.fieldLine.split(u'|'); });
  trap.Step([&] { e.log.Message(QStringLiteral("RepeatFields are:'") + section.fieldLine + u'\''); });
  // Line 1, right after the field line, is never looked at.
  // The records are counted first, so that progress can say "of how many".
  e.record = e.records = 0;
  for (qsizetype i = 2; i < section.rest.size(); ++i)
    if (section.rest.at(i).contains(QStringView(kRecordMarker))) ++e.records;
  for (qsizetype i = 2; i < section.rest.size(); ++i) {
    const QString line = WithoutLeadingSpaces(section.rest.at(i));
    if (line.isEmpty()) continue;
    RunDataLine(e, trap, section, line, pdfPass);
  }
  e.record = e.records = 0;
}

// A PDF-only job: the script's pages go to the PDF writer instead of the
// printer, and no PDF copy follows. run prints the pages; a script that names
// its file does so before it runs (namePass).
template <typename Run>
void RunIntoPdf(Engine& e, Trap& trap, int16_t pdfPass, const QString* namePass, Run&& run) {
  PrintState& s = e.state;
  if (namePass) trap.Step([&] { ExecutePrintScript(e, *namePass, pdfPass, kTrue); });
  trap.Step([&] {
    if (s.PdfFileName.isEmpty()) s.PdfFileName = PdfTimeStamp(e);
  });
  trap.Step([&] {
    if (e.PDFONLY) e.PDFONLY(s.PdfFileName, s.PdfSubFolder);
  });
  run();
  trap.Step([&] {
    if (e.PDFPrinterOff) e.PDFPrinterOff();
  });
  trap.Step([&] { s.PdfCopy = kFalse; });
}

// A template line "PDFMERGE": the records go to the PDF writer. A line of its
// own, not a word anywhere, so a value that holds it changes nothing; the
// original client skips the line as unknown and prints the records.
bool IsPdfMerge(const QString& templateText) {
  for (const QString& line : SplitScriptLines(templateText))
    if (WithoutLeadingSpaces(line).section(u'|', 0, 0).toUpper() == kPdfMergeMarker) return true;
  return false;
}

}  // namespace

QString WithoutLeadingSpaces(const QString& line) {
  qsizetype i = 0;
  while (i < line.size() && line.at(i) == u' ') ++i;
  return line.mid(i);
}

void FillRecord(QString& text, const QStringList& fieldNames, const QStringList& values) {
  for (qsizetype j = 1; j < values.size(); ++j) {
    if (j >= fieldNames.size()) Raise(RuntimeError::SubscriptOutOfRange);
    ReplaceAll(text, fieldNames.at(j), values.at(j));
  }
}

QStringList RepeatRest(const QString& script, qsizetype markerAt) {
  const qsizetype from = markerAt + kRepeatMarker.size();
  const qsizetype second = script.indexOf(kRepeatMarker, from);
  return script.mid(from, second < 0 ? -1 : second - from).split(u'\n');
}

QString PdfTimeStamp(Engine& e) {
  e.state.PdfStampedName = e.clock.Now().toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss"));
  return e.state.PdfStampedName;
}


void ParsePrint(Engine& e, const QString& script, int16_t pdfPass) {
  Trap trap(Proc::ParsePrint);
  const qsizetype repeatAt = script.indexOf(kRepeatMarker);
  if (repeatAt >= 0) {
    if (IsPdfMerge(script.left(repeatAt)))
      RunIntoPdf(e, trap, pdfPass, nullptr, [&] { RunRepeat(e, trap, script, repeatAt, pdfPass); });
    else
      RunRepeat(e, trap, script, repeatAt, pdfPass);
  } else if (script.contains(kPdfOnlyMarker)) {
    RunIntoPdf(e, trap, pdfPass, &script, [&] { trap.Step([&] { ExecutePrintScript(e, script, pdfPass, kFalse); }); });
  } else {
    trap.Step([&] { ExecutePrintScript(e, script, pdfPass, kFalse); });
  }
}

}  // namespace zarn
