#pragma once
// The benchmark's mail merge: a 40-line template (font, 37 text lines, a rule
// and a page break) filled from four fields, one page per record, and one
// RPTED at the end that finishes the single document.
#include <QString>

namespace zarn::bench {

inline QString RepeatScript(int records) {
  QString s;
  s += QStringLiteral("SF|Arial|10|0|0\r\n");
  for (int i = 0; i < 37; ++i)
    s += QStringLiteral("PT|1000|%1|%2. Dear #NAME# of #CITY#, your balance is #AMOUNT# (ref #ID#)|0|0|L|0\r\n")
             .arg(1000 + i * 360)
             .arg(i + 1);
  s += QStringLiteral("DL|1000|15000|10000|15000|10|#000000\r\n");
  s += QStringLiteral("NP\r\n");
  s += QStringLiteral("RPTFLD|#NAME#|#CITY#|#AMOUNT#|#ID#|\r\n");
  s += QStringLiteral("record lines follow\r\n");
  for (int r = 0; r < records; ++r)
    s += QStringLiteral("RPTDT|Name %1|City %2|%3.%4|R%1|\r\n").arg(r).arg(r % 97).arg(r * 3).arg(r % 100, 2, 10, QChar(u'0'));
  s += QStringLiteral("RPTED\r\n");
  return s;
}

}  // namespace zarn::bench
