// The job flow on fakes: window, settings file, run log, command line, the
// service's error reply and the PDF copy run.
#include "launch/form_load.h"

#include <gtest/gtest.h>

#include <QFile>
#include <functional>
#include <optional>

#include "engine/interpreter.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/launch_fakes.h"
#include "web/service_hosts.h"
#include "web/web.h"

namespace zarn::testing {
namespace {

// The link as the launcher hands it over: quote, link, "/", quote.
QString Link(const QString& request) {
  return QStringLiteral("\"zarn://") + QString::fromLatin1(request.toUtf8().toBase64()) + QStringLiteral("/\"");
}

class FormLoadTest : public ::testing::Test {
 protected:
  FormLoadTest() {
    calls.GetURL = [](HttpClient& http, QString& address) {
      return QString::fromUtf8(http.Get(address, HttpTimeouts{}).body);
    };
    calls.ParsePrint = [this](Engine& e, const QString& script, int16_t pdfPass) {
      flow << QStringLiteral("ParsePrint %1 %2").arg(pdfPass).arg(script);
      if (onParsePrint) onParsePrint(e, pdfPass);
    };
    calls.PDFPrinterOn = [this](Engine&, const QString& name, const QString& sub) {
      flow << QStringLiteral("PDFPrinterOn %1|%2").arg(name, sub);
    };
    calls.PDFPrinterOff = [this](Engine&) { flow << QStringLiteral("PDFPrinterOff"); };
  }

  void WriteSettings(const QByteArray& bytes) {
    QFile f(SettingsPath(fx.trap.folder));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }

  // Runs the whole flow and returns the run log as the clipboard got it.
  QString Run(const QString& commandLine) {
    Job job{fx.engine, http, clipboard, fx.trap.dialogs, fx.trap.files, fx.trap.clock, window,
            fx.trap.folder, commandLine, calls};
    job.serviceHosts = serviceHosts;
    job.notifier = &notifier;
    Form_Load(job);
    return clipboard.texts.value(0);
  }
  QString RunWith(const QString& response) {
    http.body = response;
    return Run(Link(QStringLiteral("127.0.0.1/print?job=1")));
  }
  QStringList LogLines(const QString& log) const { return log.split(QStringLiteral("\r\n")); }

  EngineFixture fx;
  ScriptedHttp http;
  FakeClipboard clipboard;
  FakeMainWindow window;
  JobCalls calls;
  QStringList flow;          // the engine and PDF calls, in order
  std::function<void(Engine&, int16_t)> onParsePrint;
  HostAllowList* serviceHosts = nullptr;
  FakeNotifier notifier;
};

TEST_F(FormLoadTest, RunLogHasEveryLineInOrderAndEndsOnTheClipboard) {
  fx.trap.clock.now = QDateTime(QDate(2026, 1, 5), QTime(14, 7, 9));
  onParsePrint = [](Engine& e, int16_t) { e.log.Message(QStringLiteral("printed")); };
  http.body = QStringLiteral("PT|1|2|Hi|0|0|L|0");
  const QString link = Link(QStringLiteral("127.0.0.1:8080/print?job=7&name=M\u00fcller"));
  const QString log = Run(link);

  const QString data = link.mid(8).chopped(2);
  EXPECT_EQ(log, QStringLiteral("ZARN last run: 05/01/2026 14:07:09\r\n"
                                "Incoming data :") + link + QStringLiteral("\r\n"
                                "Cleared data :") + data + QStringLiteral("\r\n"
                                "Base64 decoded :127.0.0.1:8080/print?job=7&name=M\u00c3\u00bcller\r\n"
                                "URL decoded :127.0.0.1:8080/print?job=7&name=M\u00fcller\r\n"
                                "Service response :PT|1|2|Hi|0|0|L|0...PT|1|2|Hi|0|0|L|0\r\n"
                                "MESSAGE :printed\r\n"
                                "ZARN end: 05/01/2026 14:07:09"));
  EXPECT_EQ(clipboard.texts.size(), 1);
  EXPECT_EQ(http.urls, QStringList{QStringLiteral("127.0.0.1:8080/print?job=7&name=M\u00fcller")});
  EXPECT_EQ(flow, QStringList{QStringLiteral("ParsePrint 0 PT|1|2|Hi|0|0|L|0")});
  EXPECT_EQ(window.calls, (QStringList{QStringLiteral("caption ") + VersionCaption(), QStringLiteral("show"),
                                       QStringLiteral("progress Asking 127.0.0.1 \u2026"), QStringLiteral("events")}));
  EXPECT_TRUE(fx.trap.Errors().isEmpty());
}

TEST(VersionCaption, IsPrefixAndTheProjectVersion) {
  EXPECT_EQ(VersionCaption(), QStringLiteral("ZARN v" ZARN_PROJECT_VERSION));
}

TEST_F(FormLoadTest, RunLogStartsAfreshEveryRun) {
  fx.log.AppendLine(QStringLiteral("left over"));
  const QString log = RunWith(QStringLiteral("x"));
  EXPECT_TRUE(log.startsWith(QStringLiteral("ZARN last run: 08/12/2026 03:29:32\r\n")));
  EXPECT_FALSE(log.contains(QStringLiteral("left over")));
}

TEST(RunLog, StopsGrowingWithOneLineSayingSo) {
  RunLog log;
  log.Reset("first");
  for (int i = 0; i < 100000; ++i) log.Message(QString(100, u'x'));
  log.AppendRaw("ZARN end: now");
  EXPECT_LE(log.Text().size(), 4 * 1024 * 1024 + 100);
  EXPECT_EQ(log.Text().count("MESSAGE :The run log reached 8 MB; later lines were left out.\r\n"), 1);
  EXPECT_TRUE(log.Text().endsWith("left out.\r\nZARN end: now"));
}

TEST(ResponseExcerpt, FirstAndLast800CharactersJoinedByDots) {
  const QString head(800, u'a'), middle(400, u'm'), tail(800, u'z');
  struct Row {
    const char* name;
    QString response;
    QString expected;
  } rows[] = {
      {"empty", QString(), QStringLiteral("...")},
      {"ten characters twice", QStringLiteral("0123456789"), QStringLiteral("0123456789...0123456789")},
      {"exactly 800", head, head + QStringLiteral("...") + head},
      {"long: middle left out", head + middle + tail, head + QStringLiteral("...") + tail},
  };
  for (const Row& r : rows) EXPECT_EQ(ResponseExcerpt(r.response), r.expected) << r.name;
}

TEST_F(FormLoadTest, ServiceErrorIsShownLineByLineAndNothingPrinted) {
  WriteSettings("1\r\n/tmp/pdf\r\n");
  const QString log = RunWith(QStringLiteral("ERROR|a|b"));
  EXPECT_EQ(fx.trap.dialogs.messages, QStringList{QStringLiteral("zarn|ERROR\r\na\r\nb")});
  EXPECT_TRUE(flow.isEmpty());
  EXPECT_FALSE(window.calls.contains(QStringLiteral("events")));
  const QStringList lines = LogLines(log);
  EXPECT_EQ(lines.value(5), QStringLiteral("Service response :ERROR|a|b...ERROR|a|b"));
  EXPECT_EQ(lines.last(), QStringLiteral("ZARN end: 08/12/2026 03:29:32"));
}

TEST_F(FormLoadTest, ErrorPrefixIsCaseSensitive) {
  RunWith(QStringLiteral("error|a|b"));
  EXPECT_TRUE(fx.trap.dialogs.messages.isEmpty());
  EXPECT_EQ(flow, QStringList{QStringLiteral("ParsePrint 0 error|a|b")});
}

TEST_F(FormLoadTest, PdfCopyRunAndTheReprintMark) {
  struct Row {
    const char* name;
    QString response;
    bool copy;
  } rows[] = {
      {"plain script", QStringLiteral("SD|P|A4|1\r\nED"), true},
      {"ends with the mark", QStringLiteral("SD|P|A4|1\r\n#REPRINT"), false},
      {"mark then a line end", QStringLiteral("SD|P|A4|1\r\n#REPRINT\r\n"), true},
      {"mark in lower case", QStringLiteral("SD|P|A4|1\r\n#reprint"), true},
      {"empty response", QString(), true},
  };
  for (const Row& r : rows) {
    flow.clear();
    fx.state.PdfFileName.clear();
    fx.trap.clock.now = QDateTime(QDate(2026, 12, 8), QTime(15, 4, 5));
    clipboard.texts.clear();
    WriteSettings("1\r\n/srv/pdf\r\n");
    RunWith(r.response);
    QStringList expected{QStringLiteral("ParsePrint 0 ") + r.response};
    if (r.copy)
      expected << QStringLiteral("PDFPrinterOn 2026-12-08-15-04-05|") << QStringLiteral("ParsePrint -1 ") + r.response
               << QStringLiteral("PDFPrinterOff");
    EXPECT_EQ(flow, expected) << r.name;
    EXPECT_EQ(fx.state.PdfFolder, QStringLiteral("/srv/pdf")) << r.name;
  }
}

TEST_F(FormLoadTest, PdfCopyUsesTheNamesTheScriptSet) {
  WriteSettings("1\r\n/srv/pdf\r\n");
  onParsePrint = [](Engine& e, int16_t pass) {
    if (pass == kFalse) {
      e.state.PdfFileName = QStringLiteral("invoice");
      e.state.PdfSubFolder = QStringLiteral("2024");
    }
  };
  RunWith(QStringLiteral("PDFNAME|2024|invoice|"));
  EXPECT_EQ(flow.value(1), QStringLiteral("PDFPrinterOn invoice|2024"));
}

TEST_F(FormLoadTest, ScriptThatClearsPdfCopyGetsNoSecondRun) {
  WriteSettings("1\r\n/srv/pdf\r\n");
  onParsePrint = [](Engine& e, int16_t) { e.state.PdfCopy = kFalse; };
  RunWith(QStringLiteral("PDFONLY"));
  EXPECT_EQ(flow, QStringList{QStringLiteral("ParsePrint 0 PDFONLY")});
}

TEST_F(FormLoadTest, StopPrintingFromTheThirdScriptBoxEndsTheJobButNotTheRun) {
  WriteSettings("1\r\n/srv/pdf\r\n");
  calls.StopPrinting = [this](Engine&) { flow << QStringLiteral("StopPrinting"); };
  onParsePrint = [](Engine& e, int16_t) {
    ExecutePrintScript(e, "MSGBOX|t|1|\r\nMSGBOX|t|2|\r\nMSGBOX|t|3|\r\nMSGBOX|t|4|\r\n", 0, 0);
  };
  fx.trap.dialogs.stops = {true};
  const QString log = RunWith(QStringLiteral("MSGBOX"));
  EXPECT_EQ(fx.trap.dialogs.messages.size(), 3);
  EXPECT_EQ(flow, QStringList({QStringLiteral("ParsePrint 0 MSGBOX"), QStringLiteral("StopPrinting")}));
  const QStringList lines = LogLines(log);
  EXPECT_EQ(lines.value(lines.size() - 2), QStringLiteral("MESSAGE :Stopped by the user"));
  EXPECT_TRUE(lines.last().startsWith(QStringLiteral("ZARN end: ")));
  EXPECT_TRUE(fx.trap.Errors().isEmpty());
}

TEST_F(FormLoadTest, AfterTheRunLogTheDesktopIsToldAndOnlyTheServiceHostHearsTheStatus) {
  QStringList sent;
  calls.SendStatus = [&](HttpClient&, const QString& address, const QString& query, const QString& service, long) {
    sent << QStringLiteral("%1 %2%3 %4").arg(clipboard.texts.size()).arg(address, query, service);
  };
  const struct Row {
    QString address;
    QStringList sent;
    QString message;
  } rows[] = {
      {"http://127.0.0.1:9/status?t=1",
       {"1 http://127.0.0.1:9/status?t=1&status=empty&pages=0&copypages=0&printer=&errors=0 127.0.0.1/print?job=1"}, ""},
      {"elsewhere.example/status?t=1", {},
       "MESSAGE :STATUS address 'elsewhere.example/status?t=1' is not on the service's host 127.0.0.1; no status "
       "was sent."},
  };
  for (const Row& r : rows) {
    sent.clear();
    clipboard.texts.clear();
    notifier.notices.clear();
    onParsePrint = [&](Engine& e, int16_t) { e.state.StatusAddress = r.address; };
    const QStringList lines = LogLines(RunWith(QStringLiteral("PT|1|2|Hi|0|0|L|0")));
    EXPECT_EQ(sent, r.sent);
    EXPECT_EQ(lines.value(lines.size() - 2), r.message.isEmpty() ? lines.value(5) : r.message);
    EXPECT_EQ(notifier.notices, QStringList{QStringLiteral("Nothing printed||0")});
  }
}

TEST_F(FormLoadTest, StatusCountsAFaultOfBothRunsOnce) {
  WriteSettings("1\r\n/srv/pdf\r\n");
  QString query;
  calls.SendStatus = [&](HttpClient&, const QString&, const QString& q, const QString&, long) { query = q; };
  onParsePrint = [](Engine& e, int16_t) {
    e.state.StatusAddress = QStringLiteral("http://127.0.0.1/status");
    ExecutePrintScript(e, "SF|Arial|x|0|0\r\n", 0, 0);  // "x" is no number: trapped, answered Ignore
  };
  RunWith(QStringLiteral("SF|Arial|x|0|0"));
  EXPECT_EQ(fx.trap.Errors().size(), 2);  // the paper run and the PDF copy
  EXPECT_TRUE(query.endsWith(QStringLiteral("&errors=1"))) << query.toStdString();
}

TEST_F(FormLoadTest, EmptyResponse) {
  const QString log = RunWith(QString());
  EXPECT_EQ(LogLines(log).value(5), QStringLiteral("Service response :..."));
  EXPECT_EQ(flow, QStringList{QStringLiteral("ParsePrint 0 ")});
}

TEST_F(FormLoadTest, SettingsFile) {
  struct Row {
    const char* name;
    std::optional<QByteArray> file;  // none: no settings file
    int16_t pdfCopy;
    QString pdfFolder;
    QStringList errors;
  } rows[] = {
      {"missing", std::nullopt, kFalse, QString(), {}},
      {"copy on", QByteArray("1\r\n/srv/pdf\r\n"), kTrue, QStringLiteral("/srv/pdf"), {}},
      {"compared as a number", QByteArray(" 1.0 \r\n/srv/pdf"), kTrue, QStringLiteral("/srv/pdf"), {}},
      {"2 leaves it off", QByteArray("2\r\n/srv/pdf\r\n"), kFalse, QStringLiteral("/srv/pdf"), {}},
      {"empty first line", QByteArray("\r\n/srv/pdf\r\n"), kFalse, QStringLiteral("/srv/pdf"), {}},
      {"text is not a number", QByteArray("yes\r\n/srv/pdf"), kFalse, QStringLiteral("/srv/pdf"), {}},
      {"CR alone ends lines", QByteArray("1\r/srv/pdf\r"), kTrue, QStringLiteral("/srv/pdf"), {}},
      {"CR CR LF: empty second line", QByteArray("1\r\r\n/srv/pdf"), kTrue, QString(), {}},
      {"LF does not end a line", QByteArray("1\n/srv/pdf\n"), kFalse, QString(),
       {QStringLiteral("62 Input past end of file")}},
      {"one line", QByteArray("1\r\n"), kTrue, QString(), {QStringLiteral("62 Input past end of file")}},
      {"one line without end", QByteArray("1"), kTrue, QString(), {QStringLiteral("62 Input past end of file")}},
      {"empty file", QByteArray(""), kFalse, QString(),
       {QStringLiteral("62 Input past end of file"), QStringLiteral("62 Input past end of file")}},
      {"UTF-8 folder", QByteArray("1\r\n/srv/B\xc3\xbcro\r\n"), kTrue, QStringLiteral("/srv/B\u00fcro"), {}},
      {"single-byte folder", QByteArray("1\r\nC:\\Ablage\\B\xfcro\r\n"), kTrue,
       QStringLiteral("C:\\Ablage\\B\u00fcro"), {}},
  };
  for (const Row& r : rows) {
    QFile::remove(SettingsPath(fx.trap.folder));
    if (r.file) WriteSettings(*r.file);
    fx.trap.dialogs.questions.clear();
    fx.state.PdfCopy = kTrue;  // a run starts from its own defaults
    fx.state.PdfFolder = QStringLiteral("left over");
    clipboard.texts.clear();
    RunWith(QStringLiteral("x"));
    EXPECT_EQ(fx.state.PdfCopy, r.pdfCopy) << r.name;
    EXPECT_EQ(fx.state.PdfFolder, r.pdfFolder) << r.name;
    EXPECT_EQ(fx.trap.Errors(), r.errors) << r.name;
    EXPECT_EQ(clipboard.texts.size(), 1) << r.name << ": a trapped error that is ignored does not end the run";
  }
}

// The third settings line keeps the service request on the hosts it names; a
// file without one, or no file, asks every host as before.
TEST_F(FormLoadTest, ServiceHostsFromTheThirdSettingsLine) {
  HostGuard guard{HostAllowList(), &fx.trap.dialogs, &fx.log};
  serviceHosts = &guard.allowed;
  calls.GetURL = [&guard](HttpClient& h, QString& address) { return GetURL(h, address, guard); };
  const QString refusal = RefusedHostText(QStringLiteral("127.0.0.1:80"));
  struct Row {
    const char* name;
    std::optional<QByteArray> file;
    bool asked;
  } rows[] = {
      {"another host only", QByteArray("0\r\n/srv/pdf\r\nprinting.example.com"), false},
      {"missing file", std::nullopt, true},
      {"wildcard does not cover the address", QByteArray("0\r\n/srv/pdf\r\n*.0.0.1\t*.example.com\r\n"), false},
      {"two lines", QByteArray("0\r\n/srv/pdf\r\n"), true},
      {"empty third line", QByteArray("0\r\n/srv/pdf\r\n\r\n"), true},
      {"this host among others", QByteArray("0\r\n/srv/pdf\r\nprinting.example.com 127.0.0.1"), true},
      {"port that does not match", QByteArray("0\r\n/srv/pdf\r\n127.0.0.1:8080"), false},
  };
  for (const Row& r : rows) {
    QFile::remove(SettingsPath(fx.trap.folder));
    if (r.file) WriteSettings(*r.file);
    http.urls.clear();
    clipboard.texts.clear();
    fx.trap.dialogs.messages.clear();
    flow.clear();
    const QString log = RunWith(QStringLiteral("PT|1|2|Hi|0|0|L|0"));
    EXPECT_EQ(http.urls.size(), r.asked ? 1 : 0) << r.name;
    EXPECT_EQ(fx.trap.dialogs.messages, r.asked ? QStringList() : QStringList{QStringLiteral("zarn|") + refusal})
        << r.name;
    EXPECT_EQ(log.contains(QStringLiteral("\r\nMESSAGE :") + refusal + QStringLiteral("\r\n")), !r.asked) << r.name;
    EXPECT_EQ(flow, QStringList{r.asked ? QStringLiteral("ParsePrint 0 PT|1|2|Hi|0|0|L|0") : QStringLiteral("ParsePrint 0 ")})
        << r.name;
    EXPECT_EQ(clipboard.texts.size(), 1) << r.name;
    EXPECT_TRUE(log.endsWith(QStringLiteral("ZARN end: 08/12/2026 03:29:32"))) << r.name;
    EXPECT_TRUE(fx.trap.Errors().isEmpty()) << r.name;
  }
}

TEST_F(FormLoadTest, OneLineSettingsFileIsLoggedAtTheJobFlow) {
  WriteSettings("1\r\n");
  RunWith(QStringLiteral("x"));
  const QStringList lines = fx.trap.LogLines();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].contains(QStringLiteral("- Error 62\tInput past end of file\tSQL:\tLocation: zarn.frmMAIN.Form_Load\tLine ")))
      << lines[0].toStdString();
}

TEST_F(FormLoadTest, CommandLineCutting) {
  const QString kBadBase64 = QStringLiteral("1 Bad Base64 string.");
  struct Row {
    const char* name;
    QString commandLine;
    QString cleared;
    QStringList errors;
  } rows[] = {
      {"quote, link, slash, quote", QStringLiteral("\"zarn://QUJD/\""), QStringLiteral("QUJD"), {}},
      {"scheme everywhere", QStringLiteral("\"zarn://QUzarn://JDzarn:///\""), QStringLiteral("QUJD"), {}},
      // What is left is no Base64 of whole groups, which the decoder traps.
      {"scheme in capitals stays", QStringLiteral("\"ZARN://QUJD/\""), QStringLiteral("ZARN://QUJD"), {kBadBase64}},
      {"one pass of removal", QStringLiteral("\"zarnzarn://://QUJD/\""), QStringLiteral("zarn://QUJD"), {kBadBase64}},
      {"cut without looking", QStringLiteral("\"zarn://QUJD\""), QStringLiteral("QUJ"), {kBadBase64}},
      {"two characters", QStringLiteral("ab"), QString(), {}},
      {"one character", QStringLiteral("a"), QString(), {QStringLiteral("5 Invalid procedure call or argument")}},
      {"empty", QString(), QString(), {QStringLiteral("5 Invalid procedure call or argument")}},
  };
  for (const Row& r : rows) {
    fx.trap.dialogs.questions.clear();
    clipboard.texts.clear();
    const QStringList lines = LogLines(Run(r.commandLine));
    EXPECT_EQ(lines.value(1), QStringLiteral("Incoming data :") + r.commandLine) << r.name;
    EXPECT_EQ(lines.value(2), QStringLiteral("Cleared data :") + r.cleared) << r.name;
    EXPECT_EQ(fx.trap.Errors(), r.errors) << r.name;
  }
}

TEST_F(FormLoadTest, RetryRunsTheFailingStepAgain) {
  fx.trap.dialogs.answers = {TrapChoice::Retry, TrapChoice::Retry, TrapChoice::Ignore};
  const QString log = Run(QStringLiteral("a"));
  EXPECT_EQ(fx.trap.Errors().size(), 3);
  EXPECT_EQ(fx.trap.LogLines().size(), 3);
  EXPECT_TRUE(log.endsWith(QStringLiteral("ZARN end: 08/12/2026 03:29:32")));
}

TEST_F(FormLoadTest, AbortEndsAtOnceWithoutEndLineOrClipboard) {
  // On Windows the death test's child is a new run of this program with a
  // fixture of its own: it writes where this run looks, named in the environment.
  constexpr char kFolder[] = "ZARN_ABORT_TEST_FOLDER";
  if (!qEnvironmentVariableIsSet(kFolder)) qputenv(kFolder, fx.trap.folder.toUtf8());
  const QString folder = qEnvironmentVariable(kFolder);
  const QString marker = folder + QStringLiteral("/clipboard-was-set");
  class MarkingClipboard final : public Clipboard {
   public:
    explicit MarkingClipboard(QString path) : path_(std::move(path)) {}
    void SetText(const QString&) override {
      QFile f(path_);
      (void)f.open(QIODevice::WriteOnly);
    }

   private:
    QString path_;
  } marking(marker);
  const auto abortRun = [&] {
    fx.trap.dialogs.answers = {TrapChoice::Abort};
    fx.trap.host.errorLogPath = folder + QStringLiteral("/error_handler.txt");
    Job job{fx.engine, http, marking, fx.trap.dialogs, fx.trap.files, fx.trap.clock, window,
            folder, QStringLiteral("a"), calls};
    Form_Load(job);
    std::_Exit(0);  // not reached: Abort ends the process
  };
  EXPECT_EXIT(abortRun(), ::testing::ExitedWithCode(kAbortExitStatus), "");
  qunsetenv(kFolder);
  EXPECT_FALSE(QFile::exists(marker));
  EXPECT_EQ(fx.trap.LogLines().size(), 1);
}

}  // namespace
}  // namespace zarn::testing
