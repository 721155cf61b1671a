#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "engine/interpreter.h"
#include "errortrap/error.h"
#include "linux/curl_http.h"
#include "platform/http.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/fakes.h"
#include "tests/support/qstring_printer.h"
#include "web/service_hosts.h"
#include "web/web.h"

namespace zarn {
namespace {

using testing::ScopedTrapHost;

constexpr int32_t kTimeout = -2147012894;
constexpr int32_t kCannotConnect = -2147012867;
constexpr int32_t kConnectionError = -2147012866;
constexpr int32_t kRedirectFailed = -2147012740;

int ErrorNumber(const ScopedTrapHost& t, int index = 0) {
  return t.Errors().value(index).section(' ', 0, 0).toInt();
}

// A port on which nothing listens.
int ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

// The real client and downloader against a real HTTP and HTTPS server on
// 127.0.0.1, the latter with a certificate made for this run.
class RealServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<QTemporaryDir>();
    const QString cert = folder_->filePath("cert.pem"), key = folder_->filePath("key.pem");
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                              "-days", "2", "-subj", "/CN=zarn-test", "-keyout", key, "-out", cert});
    ASSERT_TRUE(openssl.waitForFinished(30000));
    ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().constData();
    server_ = std::make_unique<QProcess>();
    server_->start("python3", {ZARN_TEST_SERVER, cert, key});
    ASSERT_TRUE(server_->waitForStarted(10000));
    while (!server_->canReadLine() && server_->waitForReadyRead(10000)) {
    }
    const QStringList ports = QString::fromLatin1(server_->readLine()).simplified().split(' ');
    ASSERT_EQ(ports.size(), 3);
    httpPort_ = ports[0].toInt();
    httpsPort_ = ports[1].toInt();
    otherPort_ = ports[2].toInt();
  }
  static void TearDownTestSuite() {
    if (server_) {
      server_->closeWriteChannel();
      if (!server_->waitForFinished(5000)) server_->kill();
      server_->waitForFinished(5000);
    }
    server_.reset();
    folder_.reset();
  }
  void SetUp() override {
    ASSERT_GT(httpPort_, 0);
    ResetRandom();
    ASSERT_TRUE(target_.isValid());
  }

  static QString Http(const QString& path) { return QString("127.0.0.1:%1%2").arg(httpPort_).arg(path); }
  static QString Https(const QString& path) { return QString("https://127.0.0.1:%1%2").arg(httpsPort_).arg(path); }
  static QByteArray Big() {
    QByteArray out;
    for (int i = 0; i < 800; ++i)
      for (int b = 0; b < 256; ++b) out.append(static_cast<char>(b));
    return out;
  }
  // The requests the plain, the secure and the other server have seen.
  static QList<int> Counts() {
    const QByteArray text = CurlHttpClient().Get(QString("http://127.0.0.1:%1/count").arg(httpPort_), {}).body;
    QList<int> out;
    for (const QByteArray& n : text.split(' ')) out << n.toInt();
    return out;
  }
  QString Target(const QString& name) const { return target_.filePath(name); }
  QStringList FilesInTarget() const {
    return QDir(target_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }
  static QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  static void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }

  static inline std::unique_ptr<QTemporaryDir> folder_;
  static inline std::unique_ptr<QProcess> server_;
  static inline int httpPort_ = 0;
  static inline int httpsPort_ = 0;
  static inline int otherPort_ = 0;
  QTemporaryDir target_;
  CurlHttpClient http_;
  CurlDownloader downloader_;
};

TEST_F(RealServer, ServerSeesTheCompletedAddress) {
  ScopedTrapHost t;
  QString address = Http("/echo?id=5/");
  EXPECT_EQ(GetURL(http_, address), "/echo?id=5&random=0.7055475");
  EXPECT_EQ(address, "http://" + Http("/echo?id=5&random=0.7055475"));
  EXPECT_TRUE(t.Errors().isEmpty());
}

TEST_F(RealServer, BlanksAndNonAsciiGoOutEscaped) {
  ScopedTrapHost t;
  QString address = Http(QString::fromUtf8("/echo?name=Jürgen Müller&a=%41"));
  EXPECT_EQ(GetURL(http_, address), "/echo?name=J%C3%BCrgen%20M%C3%BCller&a=%41&random=0.7055475");
}

TEST_F(RealServer, RepliesAreReturnedWhateverTheirStatus) {
  struct Row {
    const char* path;
    QString text;
  };
  const Row rows[] = {
      {"/error500?x=1", "ERROR|database down"},
      {"/nowhere?x=1", "not found"},
      {"/latin1?x=1", QString::fromUtf8("Grüße à vous")},
      {"/nocharset?x=1", QString::fromUtf8("€ 5")},
      {"/unknowncharset?x=1", QString::fromUtf8("é")},
  };
  for (const auto& row : rows) {
    ScopedTrapHost t;
    QString address = Http(row.path);
    EXPECT_EQ(GetURL(http_, address), row.text) << row.path;
    EXPECT_TRUE(t.Errors().isEmpty()) << row.path;
  }
}

TEST_F(RealServer, SelfSignedCertificateIsAccepted) {
  ScopedTrapHost t;
  QString address = Https("/echo?id=7");
  EXPECT_EQ(GetURL(http_, address), "/echo?id=7&random=0.7055475");
  EXPECT_TRUE(t.Errors().isEmpty());
}

TEST_F(RealServer, RedirectsAreFollowedButNotFromHttpsToHttp) {
  struct Row {
    QString address;
    const char* text;
  };
  const Row rows[] = {
      {Http("/redirect?x=1"), "/echo?from=redirect"},
      {Http("/to-https?x=1"), "/echo?from=http"},
      {Https("/to-http?x=1"), "moved"},
  };
  for (const auto& row : rows) {
    ScopedTrapHost t;
    QString address = row.address;
    EXPECT_EQ(GetURL(http_, address), row.text) << qPrintable(row.address);
    EXPECT_TRUE(t.Errors().isEmpty());
  }
}

TEST_F(RealServer, FailuresAreTrappedAndIgnoringGivesAnEmptyReply) {
  struct Row {
    QString address;
    int32_t number;
  };
  const Row rows[] = {
      {QString("127.0.0.1:%1/echo?x=1").arg(ClosedPort()), kCannotConnect},
      {Http("/loop?x=1"), kRedirectFailed},
      {Http("/cut?x=1"), kConnectionError},
  };
  for (const auto& row : rows) {
    ScopedTrapHost t;
    QString address = row.address;
    EXPECT_EQ(GetURL(http_, address), "") << qPrintable(row.address);
    ASSERT_EQ(t.Errors().size(), 1) << qPrintable(row.address);
    EXPECT_EQ(ErrorNumber(t), row.number) << qPrintable(t.Errors()[0]);
    EXPECT_TRUE(t.LogLines().value(0).contains("\tLocation: zarn.mWEB.GetURL\t"));
  }
}

// Passes the request on to the real client with short limits.
class ShortLimits final : public HttpClient {
 public:
  HttpReply Get(const QString& url, const HttpTimeouts& timeouts, const HostCheck& mayAsk = {}) override {
    asked = timeouts;
    return real.Get(url, HttpTimeouts{0, 2000, 500, 500}, mayAsk);
  }
  CurlHttpClient real;
  HttpTimeouts asked;
};

TEST_F(RealServer, ServerThatNeverAnswersTimesOut) {
  ScopedTrapHost t;
  ShortLimits http;
  QString address = Http("/silent?x=1");
  EXPECT_EQ(GetURL(http, address), "");
  EXPECT_EQ(http.asked.receive, 120000);
  ASSERT_EQ(t.Errors().size(), 1);
  EXPECT_EQ(ErrorNumber(t), kTimeout);
}

TEST_F(RealServer, StatusReportGivesUpOnASilentServiceWithinItsDeadline) {
  QElapsedTimer timer;
  timer.start();
  EXPECT_FALSE(SendJobStatus(http_, Http("/silent?t=1"), "&status=printed", {}, Http("/print?x=1")));
  // The server stays silent for 30 seconds; the report waits at most 5.
  EXPECT_LT(timer.elapsed(), 15000);
}

TEST_F(RealServer, DownloadWritesTheFileAndLeavesNothingElse) {
  ScopedTrapHost t;
  EXPECT_EQ(DownloadFile(downloader_, "http://" + Http("/big"), Target("a.bin")), -1);
  EXPECT_EQ(Read(Target("a.bin")), Big());
  EXPECT_EQ(FilesInTarget(), QStringList({"a.bin"}));
  EXPECT_TRUE(t.Errors().isEmpty());
}

TEST_F(RealServer, DownloadReplacesAnExistingFileAndFollowsRedirects) {
  ScopedTrapHost t;
  Write(Target("a.bin"), "old");
  EXPECT_EQ(DownloadFile(downloader_, "http://" + Http("/picture-redirect"), Target("a.bin")), -1);
  EXPECT_EQ(Read(Target("a.bin")), Big());
  EXPECT_EQ(FilesInTarget(), QStringList({"a.bin"}));
}

TEST_F(RealServer, DownloadTakesBackslashAsSeparator) {
  ScopedTrapHost t;
  ASSERT_TRUE(QDir(target_.path()).mkdir("pics"));
  EXPECT_EQ(DownloadFile(downloader_, "http://" + Http("/big"), target_.path() + "\\pics\\b.bin"), -1);
  EXPECT_EQ(Read(Target("pics/b.bin")), Big());
}

TEST_F(RealServer, DownloadIntoAMissingFolderCreatesNothing) {
  ScopedTrapHost t;
  EXPECT_EQ(DownloadFile(downloader_, "http://" + Http("/big"), Target("missing/a.bin")), 0);
  EXPECT_TRUE(FilesInTarget().isEmpty());
  EXPECT_TRUE(t.Errors().isEmpty());
}

TEST_F(RealServer, FailedDownloadLeavesTheExistingFileIntact) {
  const QString rows[] = {
      "http://" + Http("/nowhere"),
      "http://" + Http("/cut"),
      QString("http://127.0.0.1:%1/big").arg(ClosedPort()),
      Https("/big"),  // downloads verify certificates, and this one is self-signed
      "nonsense://x",
  };
  for (const auto& source : rows) {
    ScopedTrapHost t;
    Write(Target("a.bin"), "old");
    EXPECT_EQ(DownloadFile(downloader_, source, Target("a.bin")), 0) << qPrintable(source);
    EXPECT_EQ(Read(Target("a.bin")), "old") << qPrintable(source);
    EXPECT_EQ(FilesInTarget(), QStringList({"a.bin"})) << qPrintable(source);
    EXPECT_TRUE(t.Errors().isEmpty());
  }
}

// With service hosts, nothing at all goes to another host: neither the first
// request nor a redirect's.
TEST_F(RealServer, ServiceRequestAsksOnlyTheServiceHosts) {
  const QString plain = QString("127.0.0.1:%1").arg(httpPort_);
  const QString other = QString("127.0.0.1:%1").arg(otherPort_);
  struct Row {
    QString hosts;
    QString address;
    QString text;
    QString refused;  // the host named to the user, none when nothing was refused
    QList<int> asked;  // requests the plain and the other server got
  } rows[] = {
      {"printing.example.com", Http("/echo?x=1"), "", plain, {0, 0}},
      {"printing.example.com 127.0.0.1:" + QString::number(httpPort_), Http("/echo?x=1"),
       "/echo?x=1&random=0.7055475", "", {1, 0}},
      {"*.example.com 127.0.0.1:" + QString::number(httpPort_), Http("/to-other?x=1"), "", other, {1, 0}},
      {"127.0.0.1", Http("/to-other?x=1"), QString(Big()), "", {1, 1}},
  };
  for (const Row& r : rows) {
    ScopedTrapHost t;
    RunLog log;
    ResetRandom();
    const HostGuard guard{HostAllowList::Parse(r.hosts), &t.dialogs, &log};
    const QList<int> before = Counts();
    QString address = r.address;
    EXPECT_EQ(GetURL(http_, address, guard).toLatin1(), r.text.toLatin1()) << qPrintable(r.hosts);
    const QList<int> after = Counts();
    EXPECT_EQ(QList<int>({after[0] - before[0], after[2] - before[2]}), r.asked) << qPrintable(r.hosts);
    const QString message = RefusedHostText(r.refused);
    EXPECT_EQ(t.dialogs.messages, r.refused.isEmpty() ? QStringList() : QStringList({"zarn|" + message}));
    EXPECT_EQ(log.Text(), r.refused.isEmpty() ? QString() : "MESSAGE :" + message + "\r\n");
    EXPECT_TRUE(r.refused.isEmpty() || message.contains(r.refused));
    EXPECT_TRUE(t.Errors().isEmpty()) << qPrintable(t.Errors().join('/'));
  }
}

TEST_F(RealServer, DownloadsAskOnlyTheServiceHostsAndKeepOnlyTheLastBody) {
  const QString port = QString::number(httpPort_);
  struct Row {
    QString hosts;
    QString source;
    QByteArray file;  // empty: no file
    QList<int> asked;
  } rows[] = {
      {"printing.example.com", "http://" + Http("/big"), "", {0, 0}},
      {"127.0.0.1:" + port, "http://" + Http("/to-other"), "", {1, 0}},
      {"127.0.0.1:" + port, "http://" + Http("/redirect"), "/echo?from=redirect", {2, 0}},
      {"", "http://" + Http("/to-other"), Big(), {1, 1}},
  };
  for (const Row& r : rows) {
    ScopedTrapHost t;
    RunLog log;
    const HostGuard guard{HostAllowList::Parse(r.hosts), &t.dialogs, &log};
    const QList<int> before = Counts();
    EXPECT_EQ(DownloadFile(downloader_, r.source, Target("a.bin"), guard), r.file.isEmpty() ? 0 : -1)
        << qPrintable(r.hosts);
    const QList<int> after = Counts();
    EXPECT_EQ(QList<int>({after[0] - before[0], after[2] - before[2]}), r.asked) << qPrintable(r.hosts);
    EXPECT_EQ(FilesInTarget(), r.file.isEmpty() ? QStringList() : QStringList({"a.bin"}));
    if (!r.file.isEmpty()) {
      EXPECT_EQ(Read(Target("a.bin")), r.file);
    }
    EXPECT_EQ(t.dialogs.messages.size(), r.file.isEmpty() ? 1 : 0) << qPrintable(r.hosts);
    EXPECT_EQ(log.Text().count("MESSAGE :"), r.file.isEmpty() ? 1 : 0);
    QFile::remove(Target("a.bin"));
  }
}

TEST_F(RealServer, RefusedGetFileWritesNothingAndTheScriptGoesOn) {
  testing::EngineFixture fx;
  const HostGuard guard{HostAllowList::Parse("printing.example.com"), &fx.trap.dialogs, &fx.log};
  fx.engine.DownloadFile = [&](const QString& source, const QString& target) {
    return DownloadFile(downloader_, source, target, guard);
  };
  const QList<int> before = Counts();
  ExecutePrintScript(fx.engine, "GF|http://" + Http("/big") + "|" + Target("a.bin") + "\r\nMSGBOX|Note|a|b\r\n", 0, 0);
  EXPECT_EQ(Counts(), before);
  EXPECT_TRUE(FilesInTarget().isEmpty());
  const QString message = RefusedHostText(QString("127.0.0.1:%1").arg(httpPort_));
  EXPECT_EQ(fx.trap.dialogs.messages, QStringList({"zarn|" + message, "Note|a\r\nb"}));
  EXPECT_EQ(fx.Messages(), QStringList({message}));
  EXPECT_TRUE(fx.trap.Errors().isEmpty());
}

}  // namespace
}  // namespace zarn
