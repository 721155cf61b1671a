// Where downloads may go, and which services the user lets print.
#include "web/download_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "engine/job_limits.h"
#include "qt/real_file_system.h"
#include "tests/support/fakes.h"
#include "tests/support/poppler.h"
#include "web/service_consent.h"

namespace zarn {
namespace {

TEST(DownloadFolder, TargetsStayInTheProgramFolder) {
  QTemporaryDir dir;
  const QString folder = dir.path();
  QDir(folder).mkdir("pics");
  const bool linked = testing::MakeFolderLink(QDir::tempPath(), folder + "/out");  // planted beside the program
#ifndef _WIN32
  ASSERT_TRUE(linked);
#endif
  RealFileSystem files;
  DownloadFolder downloads(files, folder);
  const QString web = "http://127.0.0.1/logo.png";
  struct Row {
    QString source;
    QString target;
    QString path;  // empty: refused
  } rows[] = {
      {web, "logo.png", folder + "/logo.png"},
      {web, "pics\\logo.png", folder + "/pics/logo.png"},
      {web, "./pics/./logo.png", folder + "/pics/logo.png"},
      {"HTTPS://example.com/x", "x.png", folder + "/x.png"},
      {"example.com/x", "x.png", folder + "/x.png"},
      {web, QDir::homePath() + "/.bashrc", folder + "/.bashrc"},
      {web, "C:\\temp\\logo.png", folder + "/logo.png"},
      {web, "..\\..\\evil.txt", folder + "/evil.txt"},
      {web, "pics/../../x.desktop", folder + "/x.desktop"},
      {web, "/home/someone/zarn.ini", ""},
      {web, "zarn", ""},
      {web, "zarn-link", ""},
      {web, "error_handler.txt", ""},
      // What the install put there: the uninstall list, the example settings, the man pages, the PDF copies.
      {web, ".installed-files", ""},
      {web, "Zarn.ini.example", ""},
      {web, "man/man1/zarn.1", ""},
      {web, "pdf/2026-12-08/invoice.pdf", ""},
      {web, "out/evil.txt", ""},
      {web, "out", ""},
      {web, "..", ""},
      {web, "", ""},
      {"file:///etc/passwd", "passwd", ""},
      {"FILE:/etc/passwd", "passwd", ""},
      {"ftp://example.com/x", "x", ""},
  };
  for (const Row& r : rows) {
    if (!linked && r.target.startsWith("out")) continue;
    const DownloadFolder::Target t = downloads.ForDownload(r.source, r.target);
    EXPECT_EQ(t.path, r.path) << qPrintable(r.source + " -> " + r.target);
    EXPECT_EQ(t.refusal.isEmpty(), !r.path.isEmpty()) << qPrintable(r.target + ": " + t.refusal);
  }

  // "DI" of the path a "GF" was given reads what it wrote; other relative
  // paths are read from the program folder, absolute ones as they are.
  downloads.Downloaded("C:\\temp\\logo.png", folder + "/logo.png");
  EXPECT_EQ(downloads.ForReading("C:\\temp\\logo.png"), folder + "/logo.png");
  EXPECT_EQ(downloads.ForReading("pics\\a.png"), folder + "/pics/a.png");
  EXPECT_EQ(downloads.ForReading("/usr/share/a.png"), "/usr/share/a.png");
}

TEST(DownloadFolder, NothingBelowThePdfFolderAndAJobTotal) {
  QTemporaryDir dir;
  RealFileSystem files;
  DownloadFolder downloads(files, dir.path());
  const QString pdf = dir.path() + "/copies";
  downloads.ProtectBelow(&pdf);
  EXPECT_FALSE(downloads.ForDownload("http://h/x", "copies/a.pdf").refusal.isEmpty());
  EXPECT_TRUE(downloads.ForDownload("http://h/x", "copiesx.pdf").refusal.isEmpty());
  // Two 300 MB downloads (sparse files): the second passes 512 MB and goes again.
  for (const char* name : {"a.bin", "b.bin"}) {
    QFile f(dir.path() + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(qint64{300} << 20));
  }
  downloads.Downloaded("a.bin", dir.path() + "/a.bin");
  EXPECT_THROW(downloads.Downloaded("b.bin", dir.path() + "/b.bin"), JobLimit);
  EXPECT_TRUE(QFile::exists(dir.path() + "/a.bin"));
  EXPECT_FALSE(QFile::exists(dir.path() + "/b.bin"));
}

TEST(ServiceConsent, AnswersAreKeptPerHostAndAskedOnce) {
  QTemporaryDir dir;
  const QString answers = dir.path() + "/config/zarn/service-hosts";
  RealFileSystem files;
  testing::FakeDialogs dialogs;
  dialogs.hostAnswers = {HostAnswer::Always, HostAnswer::Never, HostAnswer::ThisTime, HostAnswer::NotNow};
  {
    ServiceConsent consent(files, dialogs, answers);
    EXPECT_EQ(consent.Ask("Print.Example.com", "/get.php"), ServiceConsent::Decision::Allowed);
    EXPECT_EQ(consent.Ask("[::1]"), ServiceConsent::Decision::JustDenied);
    EXPECT_EQ(consent.Ask("once.example.com"), ServiceConsent::Decision::Allowed);
    EXPECT_EQ(consent.Ask("print.example.com"), ServiceConsent::Decision::Allowed);
    // Every spelling of this machine's own address is one host.
    EXPECT_EQ(consent.Ask("0.0.0.0"), ServiceConsent::Decision::Denied);
    EXPECT_EQ(consent.Ask("escaped.example.com"), ServiceConsent::Decision::RefusedNow);
  }
  EXPECT_EQ(dialogs.hostQuestions,
            QStringList({"Allow print jobs from print.example.com?\nAsked by the service at /get.php",
                         "Allow print jobs from localhost?", "Allow print jobs from once.example.com?",
                         "Allow print jobs from escaped.example.com?"}));
  // Escape is remembered nowhere.
  EXPECT_EQ(files.ReadAll(answers).value_or(""), "allow print.example.com\ndeny localhost\n");

  // The next run: Always and Never hold (Never for 127.0.0.1 as for [::ffff:127.0.0.1], an old
  // line's meaning kept), This time and Escape are asked again; a refused host's box offers to allow it.
  files.Append(answers, "deny 127.0.0.1\n");
  dialogs.hostQuestions.clear();
  dialogs.offers = {false};
  dialogs.hostAnswers = {HostAnswer::NotNow, HostAnswer::NotNow};
  ServiceConsent next(files, dialogs, answers);
  EXPECT_EQ(next.Ask("PRINT.example.com"), ServiceConsent::Decision::Allowed);
  EXPECT_EQ(next.Ask("::ffff:127.0.0.1"), ServiceConsent::Decision::Denied);
  EXPECT_EQ(next.Ask("0"), ServiceConsent::Decision::Denied);
  EXPECT_EQ(next.Ask("once.example.com"), ServiceConsent::Decision::RefusedNow);
  EXPECT_EQ(next.Ask("escaped.example.com"), ServiceConsent::Decision::RefusedNow);
  EXPECT_EQ(dialogs.hostQuestions,
            QStringList({"Allow print jobs from once.example.com?", "Allow print jobs from escaped.example.com?"}));
  ASSERT_EQ(dialogs.offerTexts.size(), 1);  // once per run
  EXPECT_TRUE(dialogs.offerTexts[0].contains("Allow print jobs from localhost from now on?"));

  // Allowed from now on in the offer box; then forgotten: every line about the host goes.
  dialogs.offers = {true};
  ServiceConsent third(files, dialogs, answers);
  EXPECT_EQ(third.Ask("127.0.0.1"), ServiceConsent::Decision::Allowed);
  EXPECT_TRUE(files.ReadAll(answers).value_or("").endsWith("allow localhost\n"));
  EXPECT_TRUE(third.Forget("127.1"));
  EXPECT_EQ(files.ReadAll(answers).value_or(""), "allow print.example.com\n");
  EXPECT_FALSE(third.Forget("localhost"));
}

TEST(ServiceConsent, ALookalikeHostShowsItsAsciiFormBesideItsUnicodeOne) {
  QTemporaryDir dir;
  RealFileSystem files;
  testing::FakeDialogs dialogs;
  dialogs.hostAnswers = {HostAnswer::Always};
  ServiceConsent consent(files, dialogs, dir.path() + "/service-hosts");
  const QString lookalike = QString::fromUtf8("ex\xd0\xb0mple.com");  // a Cyrillic "a"
  consent.Ask(lookalike);
  ASSERT_EQ(dialogs.hostQuestions.size(), 1);
  EXPECT_EQ(dialogs.hostQuestions[0], "Allow print jobs from xn--exmple-4nf.com (" + lookalike + ")?");
  EXPECT_EQ(files.ReadAll(dir.path() + "/service-hosts").value_or(""), "allow xn--exmple-4nf.com\n");
}

}  // namespace
}  // namespace zarn
