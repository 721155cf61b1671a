#pragma once
// The desktop's notifications: a word to the user when a job has ended, shown
// by the desktop and never waited for.
#include <QString>

namespace zarn {

struct Notice {
  QString summary;
  QString body;         // lines separated by "\n"
  bool urgent = false;  // the output did not go where the script asked
};

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Hands the notice to the desktop; nothing happens where no one shows it.
  virtual void Notify(const Notice& notice) = 0;
};

}  // namespace zarn
