#pragma once
// The engine's entry for the job flow: repeat sections, PDF-only scripts, and
// plain scripts handed to the interpreter.
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <cstdint>

#include "engine/engine.h"

namespace zarn {

// The job options, each found anywhere in the script (exact case).
inline constexpr QStringView kRepeatMarker = u"RPTFLD";
inline constexpr QStringView kPdfOnlyMarker = u"PDFONLY";
// A template line of a repeat script that sends its records to the PDF writer.
inline constexpr QStringView kPdfMergeMarker = u"PDFMERGE";

// What a line of a repeat script's data section asks for; a line may carry
// several markers, acted on in this order. The RPTDEV and RPTPSZ lines read
// their fields by the command table rows of the same keywords.
enum class DataAction { PrintRecord, EndDocument, SelectDevice, SetPaperSize, SetPaperSizeMm };
struct DataMarker {
  std::u16string_view text;
  DataAction action;
};
inline constexpr std::array kDataMarkers{
    DataMarker{u"RPTDT", DataAction::PrintRecord},
    DataMarker{u"RPTED", DataAction::EndDocument},
    DataMarker{u"RPTDEV", DataAction::SelectDevice},
    DataMarker{u"RPTPSZ", DataAction::SetPaperSize},
    DataMarker{u"RPTPSM", DataAction::SetPaperSizeMm},
};

// The repeat section after the marker at markerAt, split at LF: the field
// line's rest, then the data section. A second marker ends it; that marker and
// everything after it are ignored.
QStringList RepeatRest(const QString& script, qsizetype markerAt);

// The line without its leading spaces (spaces only).
QString WithoutLeadingSpaces(const QString& line);

// Puts values 1.. of a data line in place of field names 1.. in text, in
// order, each on the result of the one before. A value without a field name
// raises Subscript out of range, the replacements before it kept.
void FillRecord(QString& text, const QStringList& fieldNames, const QStringList& values);

void ParsePrint(Engine& e, const QString& script, int16_t pdfPass);

// "yyyy-MM-dd-hh-mm-ss" of the engine's clock, the name of an unnamed PDF;
// kept in PdfStampedName, so that its file never replaces another.
QString PdfTimeStamp(Engine& e);

}  // namespace zarn
