#pragma once
// Decodes the one QR code in an image file with zbarimg, a real reader, and
// returns its data bytes as they are (no charset guessing).
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include "tests/support/poppler.h"

// zbarimg is a Linux program; under Wine it runs as the other checking
// programs do (tests/support/poppler.h).
namespace zarn::testing_zbar {

inline QByteArray Decode(const QString& imagePath) {
  return testing::RunTool(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"),
                                                      QStringLiteral("-Sbinary"), QStringLiteral("--nodbus"), imagePath});
}

}  // namespace zarn::testing_zbar
