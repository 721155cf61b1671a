#pragma once
// Key pins that a test sets and reads: Pin answers from `pins`, Record and
// Mismatch are written down in the order they came.
#include <QHash>
#include <QString>
#include <QStringList>

#include "platform/http.h"

namespace zarn::testing {

class FakePins final : public KeyPins {
 public:
  QString Pin(const QString& origin) override { return pins.value(origin); }
  bool Pinned(const QString& host) override {
    for (auto it = pins.cbegin(); it != pins.cend(); ++it)
      if (it.key().startsWith(QStringLiteral("https://") + host + u':')) return true;
    return false;
  }
  void Record(const QString& origin, const QString& pin) override { calls << QStringLiteral("Record ") + origin + u' ' + pin; }
  void Mismatch(const QString& origin) override { calls << QStringLiteral("Mismatch ") + origin; }

  QHash<QString, QString> pins;  // origin -> pin
  QStringList calls;
};

}  // namespace zarn::testing
