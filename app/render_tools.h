#pragma once
// zarn-render's --check layout warnings and --measure, both on the real
// surface and fonts the client prints with.
#include <QList>
#include <QString>
#include <QStringList>

#include "engine/script_check.h"

namespace zarn {

// Runs the script into PDF files in a scratch folder and finds what it puts
// outside the printable page, characters no installed font has, and SFY
// lines that place output on a page the page bottom has just turned.
QList<ScriptFinding> LayoutFindings(const QString& script);

// The height in twips of text word-wrapped to width as "PT" wraps it, in a
// font as "SF" sets it. args: FONT SIZE BOLD ITALIC WIDTH TEXT. Prints the
// height; 2 for a wrong argument.
int Measure(const QStringList& args);

}  // namespace zarn
