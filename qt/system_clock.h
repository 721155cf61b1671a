#pragma once
// The machine's own clock.
#include <QDateTime>

#include "platform/clock.h"

namespace zarn {

class SystemClock final : public Clock {
 public:
  QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

}  // namespace zarn
