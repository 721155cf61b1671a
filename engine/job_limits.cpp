#include "engine/job_limits.h"

namespace zarn {

QString BoxText(const QString& text) {
  if (text.size() <= kMaxBoxChars) return text;
  return text.left(kMaxBoxChars) + QStringLiteral("\n[… cut: %1 characters in all]").arg(text.size());
}

}  // namespace zarn
