#pragma once
// The benchmark's mail merges: 40-line templates filled from four fields, one
// page per record, and one RPTED at the end that finishes the single document.
//   letter:  font, 37 text lines, a rule and a page break (text-heavy)
//   invoice: font, 16 text lines, 14 rules, 8 boxes and a page break
//   form letter: font, 37 text lines of which 5 hold fields (address block,
//     salutation, the amount) and the rest is the same on every page, a rule
//     and a page break: the letter a mail merge is usually made for
#include <QString>

namespace zarn::bench {

enum class Layout { Letter, Invoice, FormLetter };

inline QString TextLine(int i) {
  return QStringLiteral("PT|1000|%1|%2. Dear #NAME# of #CITY#, your balance is #AMOUNT# (ref #ID#)|9000|0|L|0\r\n")
      .arg(1000 + i * 360)
      .arg(i + 1);
}

inline QString RepeatScript(int records, Layout layout = Layout::Letter) {
  QString s = QStringLiteral("SF|Arial|10|0|0\r\n");
  if (layout == Layout::Letter) {
    for (int i = 0; i < 37; ++i) s += TextLine(i);
    s += QStringLiteral("DL|1000|15000|10000|15000|10|#000000\r\n");
  } else if (layout == Layout::FormLetter) {
    const QString fielded[] = {QStringLiteral("#NAME#"), QStringLiteral("#CITY#"),
                               QStringLiteral("Reference #ID#"), QStringLiteral("Dear #NAME#,"),
                               QStringLiteral("your balance with us stands at #AMOUNT# as of the end of the month.")};
    for (int i = 0; i < 37; ++i) {
      const QString text = i < 4 ? fielded[i]
                           : i == 12 ? fielded[4]
                                     : QStringLiteral("%1. We thank you for your custom and write to tell you of the year's account.")
                                           .arg(i + 1);
      s += QStringLiteral("PT|1000|%1|%2|9000|0|L|0\r\n").arg(1000 + i * 360).arg(text);
    }
    s += QStringLiteral("DL|1000|15000|10000|15000|10|#000000\r\n");
  } else {
    for (int i = 0; i < 16; ++i) s += TextLine(i);
    for (int i = 0; i < 14; ++i)
      s += QStringLiteral("DL|1000|%1|10000|%1|1|#404040\r\n").arg(7000 + i * 400);
    for (int i = 0; i < 8; ++i)
      s += QStringLiteral("DB|%1|13000|1000|600|10|1|#000080|%2\r\n").arg(1000 + i * 1100).arg(i % 2);
  }
  s += QStringLiteral("NP\r\n");
  s += QStringLiteral("RPTFLD|#NAME#|#CITY#|#AMOUNT#|#ID#|\r\n");
  s += QStringLiteral("record lines follow\r\n");
  for (int r = 0; r < records; ++r)
    s += QStringLiteral("RPTDT|Name %1|City %2|%3.%4|R%1|\r\n")
             .arg(r)
             .arg(r % 97)
             .arg(r * 3)
             .arg(r % 100, 2, 10, QChar(u'0'));
  s += QStringLiteral("RPTED\r\n");
  return s;
}

}  // namespace zarn::bench
