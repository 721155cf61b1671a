#include "platform/file_system.h"

namespace zarn {

QString NativePath(const QString& path) {
  QString p = path;
  p.replace(u'\\', u'/');
  return p;
}

}  // namespace zarn
