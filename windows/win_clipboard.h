#pragma once
// The Windows clipboard, written with the Win32 calls: the text handed to
// SetClipboardData belongs to the system, which keeps it after zarn ends.
#include "platform/clipboard.h"

namespace zarn {

class WinClipboard final : public Clipboard {
 public:
  // Throws ZarnError when the clipboard stays taken by another program.
  void SetText(const QString& text) override;
};

}  // namespace zarn
