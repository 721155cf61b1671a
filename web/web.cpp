#include "web/web.h"

#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "engine/run_log.h"
#include "errortrap/trap.h"
#include "platform/dialogs.h"
#include "platform/http.h"
#include "web/certificate_pins.h"
#include "web/download_folder.h"
#include "web/service_hosts.h"

namespace zarn {

namespace {

// The classic runtime's generator: a 24-bit linear congruence.
constexpr uint32_t kRandomStart = 327680;
constexpr uint32_t kRandomMultiplier = 1140671485;
constexpr uint32_t kRandomIncrement = 12820163;
constexpr uint32_t kRandomModulus = 1u << 24;
constexpr int kSingleDigits = 7;

uint32_t g_random = kRandomStart;

// The charset parameter of a Content-Type value, empty when there is none.
QByteArray CharsetOf(const QByteArray& contentType) {
  const QList<QByteArray> parts = contentType.split(';');
  for (qsizetype i = 1; i < parts.size(); ++i) {
    const QByteArray param = parts[i].trimmed();
    const qsizetype eq = param.indexOf('=');
    if (eq < 0 || param.left(eq).trimmed().toLower() != "charset") continue;
    QByteArray value = param.mid(eq + 1).trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) value = value.mid(1, value.size() - 2);
    return value;
  }
  return {};
}

// windows-1252, the charset Windows services name most, for a Qt that has no
// codec for it (built without ICU, as Qt for Windows often is): Latin-1 but
// for 0x80 to 0x9F; the five bytes it leaves free stay the C1 controls.
QString Windows1252Text(const QByteArray& body) {
  static constexpr char16_t kFrom80[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  QString text(body.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < body.size(); ++i) {
    const auto byte = static_cast<unsigned char>(body[i]);
    text[i] = byte >= 0x80 && byte < 0xA0 ? QChar(kFrom80[byte - 0x80]) : QChar(byte);
  }
  return text;
}

bool NamesWindows1252(const QByteArray& charset) {
  const QByteArray name = charset.toLower();
  return name == "windows-1252" || name == "cp1252" || name == "x-cp1252";
}

// The body in the charset the server named; UTF-8 when it named none or one
// we do not know.
QString BodyText(const HttpReply& reply) {
  const QByteArray charset = CharsetOf(reply.contentType);
  QStringDecoder decoder(charset.isEmpty() ? "UTF-8" : charset.constData());
  if (!decoder.isValid() && NamesWindows1252(charset)) return Windows1252Text(reply.body);
  if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Utf8);
  return decoder.decode(reply.body);
}

// "http://" in front when the address does not hold "http" anywhere.
QString WithScheme(const QString& address) {
  return address.contains(QStringLiteral("http"), Qt::CaseSensitive) ? address : QStringLiteral("http://") + address;
}

// The error box's plain sentence for the service request.
QString ServiceSilence(const QString& address) {
  return QStringLiteral("The print service at ") + UrlHost(address) + QStringLiteral(" did not answer.");
}

}  // namespace

float NextRandom() {
  g_random = static_cast<uint32_t>((uint64_t{g_random} * kRandomMultiplier + kRandomIncrement) % kRandomModulus);
  return static_cast<float>(g_random) / static_cast<float>(kRandomModulus);
}

void SeedRandom(const QDateTime& now) {
  // Every bit of the milliseconds counts: runs a moment apart start apart.
  uint64_t ms = static_cast<uint64_t>(now.toMSecsSinceEpoch());
  uint32_t seed = 0;
  for (; ms != 0; ms >>= 24) seed ^= static_cast<uint32_t>(ms % kRandomModulus);
  g_random = seed;
}

void ResetRandom() { g_random = kRandomStart; }

QString SingleText(float value) {
  if (value == 0 || !std::isfinite(value)) return QString::number(value);
  // Seven significant digits, correctly rounded: "d.dddddde+XX", with "."
  // whatever the C library's locale (the desktop's separator is put in below).
  char buf[32];
  const std::to_chars_result written =
      std::to_chars(buf, buf + sizeof buf, static_cast<double>(value), std::chars_format::scientific, kSingleDigits - 1);
  const QString text = QString::fromLatin1(buf, written.ptr - buf);
  const qsizetype e = text.indexOf(u'e');
  const bool negative = text.startsWith(u'-');
  QString digits = text.left(e).remove(u'-').remove(u'.');
  while (digits.size() > 1 && digits.endsWith(u'0')) digits.chop(1);
  const int exponent = text.mid(e + 1).toInt();
  const QString point = QLocale::system().decimalPoint();
  const qsizetype k = digits.size();

  QString out;
  if (exponent >= 0 && exponent < kSingleDigits) {
    out = digits.left(exponent + 1).leftJustified(exponent + 1, u'0');
    if (k > exponent + 1) out += point + digits.mid(exponent + 1);
  } else if (exponent < 0 && -exponent - 1 + k <= kSingleDigits) {
    out = u'0' + point + QString(-exponent - 1, u'0') + digits;
  } else {
    out = digits.left(1);
    if (k > 1) out += point + digits.mid(1);
    out += (exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+")) +
           QStringLiteral("%1").arg(std::abs(exponent), 2, 10, QLatin1Char('0'));
  }
  return negative ? u'-' + out : out;
}

QString GetURL(HttpClient& http, QString& address, const HostGuard& hosts) {
  Trap trap(Proc::GetURL, [&address] { return ServiceSilence(address); });
  QString text;
  HttpTimeouts timeouts;
  HttpReply reply;
  bool refused = false;

  trap.Step([&] { address = WithScheme(address); });
  trap.Step([&] {
    if (address.endsWith(u'/')) address.chop(1);
  });
  // Defeats caches between the client and the service.
  trap.Step([&] { address += QStringLiteral("&random=") + SingleText(NextRandom()); });
  trap.Step([&] {
    timeouts.resolve = 0;
    timeouts.connect = 120000;
    timeouts.send = 120000;
    timeouts.receive = 120000;
  });
  // The status is not looked at: an error page's body is the reply too. A
  // host outside the service hosts is never asked, not even by a redirect:
  // the user is told and the reply stays empty.
  trap.Step([&] {
    refused = false;
    if (hosts.pins) http.UsePins(hosts.pins);
    refused = AskService(hosts, address, [&](const HostCheck& check) { reply = http.Get(address, timeouts, check); });
  });
  // Another key than the pinned one: nothing of the reply is run.
  trap.Step([&] {
    if (refused || !hosts.pins || hosts.pins->mismatched().isEmpty()) return;
    refused = true;
    const QString text = PinMismatchText(hosts.pins->mismatched(), hosts.pins->path());
    if (hosts.log) hosts.log->Message(text);
    if (hosts.dialogs) hosts.dialogs->Message(QStringLiteral("zarn"), text);
  });
  trap.Step([&] {
    if (!refused) text = BodyText(reply);
  });
  return text;
}

bool SendJobStatus(HttpClient& http, const QString& address, const QString& query, const HostGuard& hosts,
                   const QString& serviceAddress, long deadlineMs) {
  const QString url = WithScheme(address) + query;
  HttpTimeouts timeouts;
  timeouts.total = std::clamp(deadlineMs, 1L, kStatusDeadlineMs);
  const QString serviceHost = UrlHost(serviceAddress);
  if (serviceHost.isEmpty() || UrlHost(url) != serviceHost) return false;
  bool answered = false;
  try {
    AskGuarded(HostGuard{hosts.allowed}, url, [&](const HostCheck& listed) {
      const HostCheck check = [&](const QString& host, int port) {
        return SameHost(QStringLiteral("http://") + HostPortText(host, port), serviceAddress) &&
               (!listed || listed(host, port));
      };
      answered = http.Get(url, timeouts, check).status != 0;
    });
  } catch (const ZarnError&) {
    answered = false;
  }
  return answered;
}

int16_t DownloadFile(Downloader& downloader, const QString& source, const QString& target, const HostGuard& hosts,
                     DownloadFolder* folder) {
  Trap trap(Proc::DownloadFile);
  int16_t result = 0;
  trap.Step([&] {
    result = 0;
    QString path = target;
    if (folder) {
      const DownloadFolder::Target chosen = folder->ForDownload(source, target);
      if (!chosen.refusal.isEmpty()) {
        if (hosts.log) hosts.log->Message(chosen.refusal);
        return;
      }
      path = chosen.path;
    }
    AskGuarded(hosts, source,
               [&](const HostCheck& check) { result = downloader.Download(source, path, check) ? -1 : 0; });
    if (folder && result) folder->Downloaded(target, path);
  });
  return result;
}

}  // namespace zarn
