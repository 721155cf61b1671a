#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>

#include <memory>
#include <ostream>
#include <vector>

#include "engine/interpreter.h"
#include "errortrap/error.h"
#include "platform/http.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/fakes.h"
#include "web/service_hosts.h"
#include "web/web.h"

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace zarn {
namespace {

using testing::ScopedTrapHost;

constexpr int32_t kCannotConnect = -2147012867;

// The first values of the classic generator, as the classic runtime shows them.
const char* const kFirstRandoms[] = {"0.7055475", "0.533424",     "0.5795186", "0.2895625", "0.301948",
                                     "0.7747401", "1.401764E-02", "0.7607236", "0.81449",   "0.7090379"};

// Records what GetURL asked for and answers with a fixed reply.
class RecordingHttp final : public HttpClient {
 public:
  HttpReply Get(const QString& url, const HttpTimeouts& timeouts, const HostCheck& = {}) override {
    urls << url;
    seen = timeouts;
    if (failures > 0) {
      --failures;
      throw ZarnError(kCannotConnect, "WinHttp.WinHttpRequest", "refused");
    }
    return reply;
  }
  QStringList urls;
  HttpTimeouts seen;
  HttpReply reply{200, "text/plain", "OK"};
  int failures = 0;
};

TEST(GetURL, CompletesTheAddress) {
  struct Row {
    const char* given;
    const char* sent;
  };
  const Row rows[] = {
      {"server/get?id=5", "http://server/get?id=5&random=0.7055475"},
      {"https://server/get?id=5/", "https://server/get?id=5&random=0.7055475"},
      {"http://server/", "http://server&random=0.7055475"},
      {"HTTPS://server/get?id=5", "http://HTTPS://server/get?id=5&random=0.7055475"},
      {"server/get?back=http", "server/get?back=http&random=0.7055475"},
  };
  for (const auto& row : rows) {
    ScopedTrapHost t;
    RecordingHttp http;
    ResetRandom();
    QString address = row.given;
    EXPECT_EQ(GetURL(http, address), "OK");
    EXPECT_EQ(http.urls, QStringList({row.sent})) << row.given;
    EXPECT_EQ(address, row.sent);
    EXPECT_EQ(http.seen.resolve, 0);
    EXPECT_EQ(http.seen.connect, 120000);
    EXPECT_EQ(http.seen.send, 120000);
    EXPECT_EQ(http.seen.receive, 120000);
  }
}

TEST(GetURL, EachRequestTakesTheNextRandomNumber) {
  ScopedTrapHost t;
  RecordingHttp http;
  ResetRandom();
  for (const char* expected : kFirstRandoms) {
    QString address = "server/get?id=5";
    GetURL(http, address);
    EXPECT_EQ(address, QString("http://server/get?id=5&random=") + expected);
  }
}

TEST(GetURL, ASeededRunTakesAnotherNumberOfTheSameForm) {
  ScopedTrapHost t;
  RecordingHttp http;
  const QDateTime start(QDate(2026, 12, 9), QTime(16, 58, 9, 120));
  QStringList numbers;
  for (const QDateTime& now : {start, start, start.addMSecs(1), start.addSecs(3600)}) {
    SeedRandom(now);
    QString address = "server/get?id=5";
    GetURL(http, address);
    numbers << address.section("&random=", 1);
    // Single precision, seven significant digits at most.
    EXPECT_TRUE(QRegularExpression("^(0\\.\\d{1,7}|[1-9](\\.\\d{1,6})?E-0\\d)$").match(numbers.last()).hasMatch())
        << numbers.last().toStdString();
  }
  EXPECT_EQ(numbers[0], numbers[1]);
  EXPECT_EQ(QSet<QString>(numbers.begin() + 1, numbers.end()).size(), 3) << numbers.join(" ").toStdString();
  EXPECT_NE(numbers[0], kFirstRandoms[0]);
}

TEST(SendJobStatus, OnlyTheServiceHostIsAskedWithinFiveSecondsAndNothingIsRaised) {
  // Puts two hops to the check, as a redirect to another host would.
  struct Asking final : HttpClient {
    HttpReply Get(const QString& url, const HttpTimeouts& timeouts, const HostCheck& check) override {
      seen << url + (check("127.0.0.1", 8080) ? " same" : "") + (check("elsewhere.example", 80) ? " other" : "");
      total = timeouts.total;
      if (fail) throw ZarnError(kCannotConnect, "WinHttp.WinHttpRequest", "refused");
      return {200, "text/plain", "OK"};
    }
    QStringList seen;
    long total = 0;
    bool fail = false;
  };
  const QString service = "127.0.0.1:8080/print?job=1&random=0.7055475";
  struct Row {
    QString address;
    QString hosts;
    bool fail;
    bool answered;
    QString seen;
  } rows[] = {
      {"127.0.0.1:9/status?t=1", "", false, true, "http://127.0.0.1:9/status?t=1&status=pdf same"},
      {"http://elsewhere.example/status?t=1", "", false, false, ""},
      {"127.0.0.1:9/status?t=1", "127.0.0.1:8080", false, false, ""},
      {"127.0.0.1:8080/status?t=1", "", true, false, "http://127.0.0.1:8080/status?t=1&status=pdf same"},
  };
  for (const Row& r : rows) {
    ScopedTrapHost t;
    Asking http;
    http.fail = r.fail;
    const HostGuard guard{HostAllowList::Parse(r.hosts), &t.dialogs};
    EXPECT_EQ(SendJobStatus(http, r.address, "&status=pdf", guard, service), r.answered) << qPrintable(r.address);
    EXPECT_EQ(http.seen, r.seen.isEmpty() ? QStringList() : QStringList{r.seen});
    if (!r.seen.isEmpty()) EXPECT_EQ(http.total, 5000);
    EXPECT_TRUE(t.dialogs.messages.isEmpty());
    EXPECT_TRUE(t.Errors().isEmpty());
  }
}

TEST(SingleText, WritesSevenSignificantDigits) {
  struct Row {
    float value;
    const char* text;
  };
  const Row rows[] = {{0.0f, "0"},           {1.0f, "1"},         {0.5f, "0.5"},         {-2.5f, "-2.5"},
                      {100.0f, "100"},       {1234567.0f, "1234567"}, {12345678.0f, "1.234568E+07"},
                      {0.0001f, "0.0001"},   {1e-7f, "0.0000001"}, {1e-8f, "1E-08"},     {0.1234567f, "0.1234567"},
                      {0.01234567f, "1.234567E-02"}, {0.9999999f, "0.9999999"}, {3.14159274f, "3.141593"}};
  for (const auto& row : rows) EXPECT_EQ(SingleText(row.value), row.text) << row.text;
}

TEST(GetURL, BodyIsDecodedByTheNamedCharset) {
  struct Row {
    const char* type;
    QByteArray body;
    QString text;
  };
  const Row rows[] = {
      {"text/plain; charset=ISO-8859-1", "caf\xE9", QString::fromUtf8("café")},
      {"text/plain;charset=\"utf-8\"", "caf\xC3\xA9", QString::fromUtf8("café")},
      {"text/plain; Charset=windows-1252", "\x80", QString::fromUtf8("€")},
      {"text/plain", "caf\xC3\xA9", QString::fromUtf8("café")},
      {"", "\xEF\xBB\xBFSD|x", "SD|x"},
      {"text/plain; charset=x-nonsense", "caf\xC3\xA9", QString::fromUtf8("café")},
  };
  for (const auto& row : rows) {
    ScopedTrapHost t;
    RecordingHttp http;
    http.reply = {200, row.type, row.body};
    QString address = "server/get?id=5";
    EXPECT_EQ(GetURL(http, address), row.text) << row.type;
  }
}

TEST(GetURL, RetryRepeatsOnlyTheRequest) {
  ScopedTrapHost t;
  t.dialogs.answers = {TrapChoice::Retry};
  RecordingHttp http;
  http.failures = 1;
  ResetRandom();
  QString address = "server/get?id=5";
  EXPECT_EQ(GetURL(http, address), "OK");
  EXPECT_EQ(http.urls, QStringList({"http://server/get?id=5&random=0.7055475",
                                    "http://server/get?id=5&random=0.7055475"}));
  EXPECT_EQ(t.Errors(), QStringList({QString::number(kCannotConnect) + " refused"}));
}

}  // namespace
}  // namespace zarn
