#include "windows/desktop_paper.h"

#include <windows.h>

namespace zarn {

QPageSize DesktopPaper() {
  // The user's regional settings name the paper by its DMPAPER number.
  wchar_t value[8] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_IPAPERSIZE, value, 8) > 0) {
    switch (_wtoi(value)) {
      case DMPAPER_LETTER: return QPageSize(QPageSize::Letter);
      case DMPAPER_LEGAL: return QPageSize(QPageSize::Legal);
      case DMPAPER_A3: return QPageSize(QPageSize::A3);
      default: break;
    }
  }
  return QPageSize(QPageSize::A4);
}

}  // namespace zarn
