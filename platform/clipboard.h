#pragma once
#include <QString>

namespace zarn {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Empties the clipboard and puts text on it; the text stays there after the
  // process has ended.
  virtual void SetText(const QString& text) = 0;
};

}  // namespace zarn
