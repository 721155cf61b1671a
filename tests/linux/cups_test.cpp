// A document printed through a real CUPS queue: a private cupsd on loopback
// with a queue whose device is a file, started and stopped by this test.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <QDateTime>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "linux/cups_jobs.h"
#include "qt/pdf_writer_printer.h"
#include "qt/qt_print_surface.h"
#include "tests/support/poppler.h"

namespace zarn::testing {
namespace {

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}

struct Script {
  int code;
  QString errors;
};
Script RunScript(const QStringList& args) {
  QProcess p;
  p.start("bash", QStringList{ZARN_CUPS_SCRIPT} + args);
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    return {-1, "the CUPS script did not finish"};
  }
  return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
}

// Stops the private cupsd however the test ends.
struct CupsServer {
  QString folder;
  ~CupsServer() { RunScript({"stop", folder}); }
};

// libcups keeps the first server it talked to for the whole process, so the
// printing half runs in a child of this test program that knows only the
// private server (ZARN_CUPS_FOLDER names its folder).
void PrintAndCheck(const QDir& dir) {
  PdfWriterPrinter writer({}, dir.filePath("docs"));
  QtPrintSurface surface(writer);
  ASSERT_EQ(surface.Count(), 2);
  EXPECT_EQ(surface.DeviceName(0), "zarn-test");
  EXPECT_EQ(surface.DeviceName(1), PdfWriterPrinter::Name());
  EXPECT_EQ(surface.DeviceName(), "zarn-test");  // the CUPS default comes first

  surface.SetCopies(1);
  surface.SetCurrentX(1440);
  surface.SetCurrentY(1440);
  surface.Print("Spooled");
  // 1,000 red segments side by side, handed to the spooler as one band, show whole.
  for (int x = 2000; x < 3000; ++x) surface.Line(x, 4000, x, 5000, 0x0000FF, LineKind::Segment);
  surface.SetPaperSize(11);
  surface.NewPage();
  surface.Line(0, 0, 2000, 2000, 0, LineKind::Segment);
  surface.Print("Second");
  surface.EndDoc();
  ASSERT_EQ(surface.Documents().size(), 1);
  EXPECT_EQ(surface.Documents()[0].pages, 2);
  EXPECT_EQ(surface.Documents()[0].file, QString());
  // The spooler's number of the job, which Qt's printer does not hand back.
  const QDateTime anyTime = QDateTime::fromSecsSinceEpoch(0);
  EXPECT_GT(FollowCupsJob("zarn-test", surface.Documents()[0].title, anyTime, 2000).job, 0);
  EXPECT_EQ(FollowCupsJob("zarn-test", "another title", anyTime, 2000).job, 0);

  // The queue writes the job into its file; wait (bounded) until it is done.
  const QString spooled = dir.filePath("out/zarn-test.prn");
  bool done = false;
  for (int i = 0; i < 300 && !done; ++i) {
    QProcess lpstat;
    lpstat.start("lpstat", {"-W", "not-completed", "-o", "zarn-test"});
    lpstat.waitForFinished(10000);
    done = lpstat.readAllStandardOutput().trimmed().isEmpty() && QFileInfo(spooled).size() > 0;
    if (!done) QThread::msleep(100);
  }
  ASSERT_TRUE(done) << "the job did not reach " << spooled.toStdString();

  const auto pages = PageSizes(spooled);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_NEAR(pages[0].height(), 841.89, 1);  // A4, then A5 from the new page on
  EXPECT_NEAR(pages[1].height(), 595.28, 1);
  const auto words = Words(spooled);
  const Word* first = FindWord(words, "Spooled");
  const Word* second = FindWord(words, "Second");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->page, 1);
  EXPECT_EQ(second->page, 2);
  // The origin is the printable area's corner, 18 points (360 twips) in on this printer.
  EXPECT_NEAR(first->xMin, 360 + 1440, 3);
  EXPECT_NEAR(first->yMin, 360 + 1440, 3);
  const QImage page = Render(spooled, 100);
  for (const double x : {2100, 2500, 2900}) {
    const QColor c = PixelAtTwips(page, 100, 360 + x, 360 + 4500);
    EXPECT_GT(c.red(), 200) << x;
    EXPECT_LT(c.green(), 50) << x;
  }
  EXPECT_FALSE(QDir(dir.filePath("docs")).exists());  // nothing went to the PDF writer
}


TEST(CupsQueue, ADocumentReachesTheSpooledFileWithItsPages) {
  EnsureGuiApp();
  if (qEnvironmentVariableIsSet("ZARN_CUPS_FOLDER")) {
    PrintAndCheck(QDir(qEnvironmentVariable("ZARN_CUPS_FOLDER")));
    return;
  }
  QTemporaryDir dir(QDir::tempPath() + "/zarn-cups-XXXXXX");  // short: it holds the socket
  ASSERT_TRUE(dir.isValid());
  const int port = FreeLoopbackPort();
  ASSERT_GT(port, 0);
  const Script started = RunScript({"start", dir.path(), QString::number(port)});
  CupsServer server{dir.path()};
  if (started.code == 77) GTEST_SKIP() << "cupsd cannot run here: " << started.errors.toStdString();
  ASSERT_EQ(started.code, 0) << started.errors.toStdString();

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("CUPS_SERVER", dir.path() + "/cups.sock");
  env.insert("ZARN_CUPS_FOLDER", dir.path());
  env.remove("PRINTER");
  env.remove("LPDEST");
  QProcess child;
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=CupsQueue.ADocumentReachesTheSpooledFileWithItsPages"});
  ASSERT_TRUE(child.waitForFinished(120000)) << "the printing child did not finish";
  EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
}

}  // namespace
}  // namespace zarn::testing
