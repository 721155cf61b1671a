#pragma once
// Local date and time, behind an interface so that tests can fix it.
#include <QDateTime>

namespace zarn {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDateTime Now() const = 0;  // local time
};

}  // namespace zarn
