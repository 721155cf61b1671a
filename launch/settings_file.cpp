#include "launch/settings_file.h"

#include <QStringDecoder>

#include "engine/print_state.h"
#include "errortrap/error.h"
#include "errortrap/trap.h"
#include "web/service_hosts.h"

namespace zarn {

SettingsReader::SettingsReader(const QByteArray& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  text_ = utf8.decode(bytes);
  if (utf8.hasError()) text_ = QString::fromLatin1(bytes);
}

QString SettingsReader::LineInput() {
  if (AtEnd()) Raise(RuntimeError::InputPastEnd);
  const qsizetype cr = text_.indexOf(u'\r', pos_);
  if (cr < 0) {
    QString line = text_.mid(pos_);
    pos_ = text_.size();
    return line;
  }
  QString line = text_.mid(pos_, cr - pos_);
  pos_ = cr + 1;
  if (pos_ < text_.size() && text_.at(pos_) == u'\n') ++pos_;
  return line;
}

bool IsNumberOne(const QString& line) {
  bool ok = false;
  const double value = line.trimmed().toDouble(&ok);
  return ok && value == 1.0;
}

void ReadSettingsLines(Trap& trap, SettingsReader& settings, PrintState& state, HostAllowList* hosts) {
  QString line;
  trap.Step([&] { line = settings.LineInput(); });
  trap.Step([&] {
    if (IsNumberOne(line)) state.PdfCopy = kTrue;
  });
  trap.Step([&] { state.PdfFolder = settings.LineInput(); });
  // The third line is optional: a file without it allows every host.
  trap.Step([&] {
    if (hosts && !settings.AtEnd()) *hosts = HostAllowList::Parse(settings.LineInput());
  });
}

}  // namespace zarn
