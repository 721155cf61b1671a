#include "windows/win_clipboard.h"

#include <windows.h>

#include <cstring>

#include "errortrap/error.h"

namespace zarn {

namespace {
// Another program may hold the clipboard for a moment.
bool OpenWithRetries() {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(25);
  }
  return false;
}

[[noreturn]] void Fail(const char* call) {
  const DWORD code = GetLastError();
  throw ZarnError(static_cast<int32_t>(0x80070000u | (code & 0xFFFFu)), QStringLiteral("Clipboard"),
                  QStringLiteral("%1 failed (%2)").arg(QLatin1String(call)).arg(code));
}
}  // namespace

void WinClipboard::SetText(const QString& text) {
  const size_t bytes = (static_cast<size_t>(text.size()) + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) Fail("GlobalAlloc");
  auto* target = static_cast<wchar_t*>(GlobalLock(memory));
  std::memcpy(target, text.utf16(), bytes - sizeof(wchar_t));
  target[text.size()] = L'\0';
  GlobalUnlock(memory);
  if (!OpenWithRetries()) {
    GlobalFree(memory);
    Fail("OpenClipboard");
  }
  EmptyClipboard();
  // From here the memory is the system's.
  const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  if (!placed) GlobalFree(memory);
  CloseClipboard();
  if (!placed) Fail("SetClipboardData");
}

}  // namespace zarn
