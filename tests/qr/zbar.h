#pragma once
// Decodes the one QR code in an image file with zbarimg, a real reader, and
// returns its data bytes as they are (no charset guessing).
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include "tests/support/poppler.h"

// zbarimg is a Linux program: under Wine a test that reads its symbol back
// with it says so and is skipped.
#ifdef _WIN32
#define SKIP_WITHOUT_ZBARIMG() GTEST_SKIP() << "zbarimg, the reader of the symbol, does not run under Wine"
#else
#define SKIP_WITHOUT_ZBARIMG() static_cast<void>(0)
#endif

namespace zarn::testing_zbar {

inline QByteArray Decode(const QString& imagePath) {
  return testing::RunTool(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"),
                                                      QStringLiteral("-Sbinary"), QStringLiteral("--nodbus"), imagePath});
}

}  // namespace zarn::testing_zbar
