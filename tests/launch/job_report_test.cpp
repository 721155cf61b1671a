// What the desktop and the STATUS address are told of a job, and the window's
// progress line.
#include "launch/job_report.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include "engine/parse_print.h"
#include "launch/progress_line.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/launch_fakes.h"

namespace zarn::testing {
namespace {

// The folders of a printed document are absolute paths of this machine ("Z:/home/anna" under Wine).
const QString kHome = QFileInfo(QStringLiteral("/home/anna")).absoluteFilePath();
const PrintedDocument kOffice{QStringLiteral("Office_Laser"), 3, QString()};
const PrintedDocument kPdf{QStringLiteral("zarn PDF Writer"), 2, QStringLiteral("/home/anna/Documents/zarn/20261209/a.pdf")};
const PrintedDocument kPdf2{QStringLiteral("zarn PDF Writer"), 1, QStringLiteral("/home/anna/Documents/zarn/20261209/b.pdf")};

JobOutcome With(void (*set)(JobOutcome&)) {
  JobOutcome o;
  set(o);
  return o;
}

TEST(JobReport, StatusAndNoticeSayWhereThePagesWentAndWhatWentWrong) {
  using Reply = JobOutcome::Reply;
  struct Row {
    const char* name;
    JobOutcome outcome;
    const char* status;
    const char* summary;
    bool urgent;
    QString body;
  } rows[] = {
      {"paper", With([](JobOutcome& o) { o.documents = {kOffice}; }), "printed", "Printed", false, "3 pages to Office_Laser"},
      {"paper and a PDF copy", With([](JobOutcome& o) { o.documents = {kOffice, kPdf, kPdf2}; }), "printed", "Printed", false,
       "3 pages to Office_Laser\n2 PDF files in ~/Documents/zarn/20261209"},
      {"DEV switched nothing",
       With([](JobOutcome& o) {
         o.documents = {kOffice};
         o.unswitchedDevices = {QStringLiteral("Office*")};
       }),
       "printed", "Printed", true, "No printer is named \"Office*\": the pages went to Office_Laser.\n3 pages to Office_Laser"},
      {"no printer", With([](JobOutcome& o) {
         o.documents = {kPdf};
         o.noPrinter = true;
       }), "pdf", "Saved as PDF", true,
       "There is no printer: the pages went to PDF files, not to paper.\n1 PDF file in ~/Documents/zarn/20261209"},
      {"empty reply", With([](JobOutcome& o) { o.reply = Reply::Empty; }), "empty", "Nothing printed", true,
       "The service's reply was empty: nothing was printed."},
      {"an HTML page", With([](JobOutcome& o) {
         o.reply = Reply::NotAScript;
         o.htmlReply = true;
       }), "empty", "Nothing printed", true,
       "The service's reply is a web page, not a print script: nothing was printed."},
      {"service error", With([](JobOutcome& o) { o.reply = Reply::ServiceError; }), "failed", "Print job failed", true,
       "The service reported an error: nothing was printed."},
      {"errors ignored, nothing out", With([](JobOutcome& o) { o.errors = 2; }), "failed", "Print job failed", true,
       "2 errors were ignored (see error_handler.txt)."},
      {"stopped", With([](JobOutcome& o) {
         o.stopped = true;
         o.documents = {kOffice};
       }), "stopped", "Printing stopped", true,
       "Stopped by the user: nothing more went to the printer.\n3 pages to Office_Laser"},
      {"a script that prints nothing", JobOutcome(), "empty", "Nothing printed", false, ""},
      {"a paused printer", With([](JobOutcome& o) {
         o.documents = {{QStringLiteral("Desk_Laser"), 1, QString(), QStringLiteral("invoice-42")}};
         o.spooler = {7, SpoolerReport::State::Waiting, QStringLiteral("Out of paper"), QStringLiteral("Desk laser")};
       }), "waiting", "Waiting to print", true,
       "The job is waiting in the queue of Desk laser (Desk_Laser): Out of paper.\n"
       "1 page of \"invoice-42\" sent to Desk laser (Desk_Laser)"},
      {"a printer that accepts no jobs", With([](JobOutcome& o) {
         o.documents = {{QStringLiteral("Desk_Laser"), 1, QString(), QStringLiteral("invoice-42")}};
         o.spooler.state = SpoolerReport::State::Refused;
       }), "refused", "Not printed", true,
       "Desk_Laser does not accept jobs: the print system refused the job.\n1 page of \"invoice-42\" sent to Desk_Laser"},
      {"host refused by the user", With([](JobOutcome& o) {
         o.reply = Reply::Empty;
         o.refusedHost = QStringLiteral("shop.example.com");
         o.refusedAnswers = kHome + QStringLiteral("/.config/zarn/service-hosts");
       }), "empty", "Nothing printed", true,
       "Print jobs from shop.example.com are refused by your answer (~/.config/zarn/service-hosts): it was not asked, "
       "nothing was printed."},
      {"service did not answer, ignored", With([](JobOutcome& o) {
         o.reply = Reply::Empty;
         o.errors = 1;
         o.unreachableHost = QStringLiteral("shop.example.com");
         o.errorLog = QStringLiteral("/home/anna/.local/share/zarn/error_handler.txt");
       }), "failed", "Print job failed", true,
       "The print service at shop.example.com did not answer: nothing was printed "
       "(see /home/anna/.local/share/zarn/error_handler.txt)."},
      {"an Abort", With([](JobOutcome& o) {
         o.aborted = true;
         o.errorLog = QStringLiteral("/z/error_handler.txt");
       }), "failed", "Stopped after an error", true,
       "An error was answered Abort: the job did not run to its end (see /z/error_handler.txt)."},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(JobStatus(r.outcome), QString::fromLatin1(r.status)) << r.name;
    const Notice n = JobNotice(r.outcome, kHome);
    EXPECT_EQ(n.summary, QString::fromLatin1(r.summary)) << r.name;
    EXPECT_EQ(n.urgent, r.urgent) << r.name;
    EXPECT_EQ(n.body, r.body) << r.name;
  }
}

TEST(JobReport, StatusQueryNamesThePagesThePrinterAndTheErrors) {
  const JobOutcome paper = With([](JobOutcome& o) {
    o.errors = 1;
    o.documents = {kPdf, {QStringLiteral("Büro & Co"), 4, QString()}};
    o.spooler.job = 17;
  });
  EXPECT_EQ(StatusQuery(paper), QStringLiteral("&status=printed&pages=4&copypages=0&printer=B%C3%BCro%20%26%20Co&errors=1&job=17"));
  // No printer and a PDF copy: the printer run's file, and the copy's.
  const JobOutcome pdf = With([](JobOutcome& o) {
    o.documents = {kPdf, kPdf2};
    o.copyFrom = 1;
  });
  EXPECT_EQ(StatusQuery(pdf), QStringLiteral("&status=pdf&pages=2&copypages=1&printer=zarn%20PDF%20Writer&errors=0"));
}

TEST(JobReport, RepliesWithoutAKnownCommandAreNoScript) {
  EXPECT_EQ(ClassifyReply(QStringLiteral(" \r\n")), JobOutcome::Reply::Empty);
  EXPECT_EQ(ClassifyReply(QStringLiteral("<html>\n<body>Bad gateway</body>\n</html>")), JobOutcome::Reply::NotAScript);
  EXPECT_EQ(ClassifyReply(QStringLiteral("<html>\nPT|x\n")), JobOutcome::Reply::Script);  // a faulty line still runs
}

TEST(JobReport, CollectsTheEnginesDevNamesAndSeesTheMissingPrinter) {
  EngineFixture fx({QStringLiteral("zarn PDF Writer")});
  fx.surface.documents = {kPdf};
  ParsePrint(fx.engine, QStringLiteral("DEV|Office\r\nSTATUS|http://127.0.0.1/s?t=1\r\nPT|0|0|x|0|0|L|0"), 0);
  const JobOutcome o = CollectOutcome(fx.engine, QStringLiteral("DEV|Office"), false, 0);
  EXPECT_EQ(o.unswitchedDevices, QStringList{QStringLiteral("Office")});
  EXPECT_TRUE(o.noPrinter);
  EXPECT_EQ(fx.state.StatusAddress, QStringLiteral("http://127.0.0.1/s?t=1"));
  // A PDF-only script asked for PDF files: no printer was missed.
  EXPECT_FALSE(CollectOutcome(fx.engine, QStringLiteral("PDFONLY"), false, 0).noPrinter);

  // A pattern that matches a printer but is not its name switches nothing either.
  EngineFixture two({QStringLiteral("Office_Laser"), QStringLiteral("zarn PDF Writer")});
  ParsePrint(two.engine, QStringLiteral("DEV|Office*\r\nDEV|zarn PDF Writer"), 0);
  EXPECT_EQ(two.state.UnswitchedDevices, QStringList{QStringLiteral("Office*")});
}

TEST(ProgressLine, QuietForHalfASecondThenRecordsOrPagesAtMostFourTimesASecond) {
  const QLocale was;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EngineFixture fx;
  FakeMainWindow window;
  qint64 now = 0;
  ProgressLine line(window, fx.surface, [&] { return now; });
  fx.surface.documents = {kOffice, kPdf};
  fx.engine.record = 4180;
  fx.engine.records = 10000;
  line.Update(fx.engine);  // at 0 ms
  now = 600;
  line.Update(fx.engine);
  now = 800;
  line.Update(fx.engine);  // too soon after the last
  now = 850;
  fx.engine.record = fx.engine.records = 0;
  line.Update(fx.engine);
  EXPECT_EQ(window.calls, (QStringList{QStringLiteral("progress Record 4,180 of 10,000"),
                                       QStringLiteral("progress Page 5")}));
  QLocale::setDefault(was);
}

}  // namespace
}  // namespace zarn::testing
