#pragma once
// What one job may make the client hold, write or lay out. Any web page can
// open a zarn:// link, and the service it names writes the script: each bound
// keeps a script inside the reply cap from filling the disk or the memory, or
// from hanging the client on a box nobody can answer.
#include <QString>
#include <QtGlobal>

namespace zarn {

// Downloads of one job in all, across every "GF" name.
inline constexpr qint64 kMaxJobDownloadBytes = qint64{512} * 1024 * 1024;
// Pages of one job, paper and PDF copy counted apart.
inline constexpr int kMaxJobPages = 200000;
// One record's filled template (64 MB of UTF-16).
inline constexpr qsizetype kMaxExpandedChars = qsizetype{32} * 1024 * 1024;
// The run log (8 MB of UTF-16), the end line aside.
inline constexpr qsizetype kMaxRunLogChars = qsizetype{4} * 1024 * 1024;
// A message box's text: what a box on a screen can show.
inline constexpr qsizetype kMaxBoxChars = 2000;
// One text of PT, MXT or SPR: the word wrap stops at position 32767, and a
// line on the widest paper holds far fewer characters at any font size.
inline constexpr qsizetype kMaxShownTextChars = 32768;

// Thrown when a job reaches one of the bounds above. Not an error of a
// step: it passes every trap up to the job flow, which sends nothing more and
// reports the text through its own trap.
struct JobLimit {
  QString text;
};

// The text cut to what a box can show, with a mark saying so.
QString BoxText(const QString& text);

}  // namespace zarn
