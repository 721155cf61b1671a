#pragma once
// Decodes the one QR code in an image file with zbarimg, a real reader, and
// returns its data bytes as they are (no charset guessing).
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace zarn::testing_zbar {

inline QByteArray Decode(const QString& imagePath) {
  QProcess p;
  p.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), QStringLiteral("-Sbinary"),
                                      QStringLiteral("--nodbus"), imagePath});
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    ADD_FAILURE() << "zbarimg did not finish (installed by scripts/install-deps.sh?)";
    return {};
  }
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  QByteArray out = p.readAllStandardOutput();
  return out;
}

}  // namespace zarn::testing_zbar
