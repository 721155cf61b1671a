// Where downloads may go, and which services the user lets print.
#include "web/download_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "qt/real_file_system.h"
#include "tests/support/fakes.h"
#include "web/service_consent.h"

namespace zarn {
namespace {

TEST(DownloadFolder, TargetsStayInTheProgramFolder) {
  QTemporaryDir dir;
  const QString folder = dir.path();
  QDir(folder).mkdir("pics");
  QFile::link(QDir::tempPath(), folder + "/out");  // a folder link planted beside the program
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
      {web, "out/evil.txt", ""},
      {web, "out", ""},
      {web, "..", ""},
      {web, "", ""},
      {"file:///etc/passwd", "passwd", ""},
      {"FILE:/etc/passwd", "passwd", ""},
      {"ftp://example.com/x", "x", ""},
  };
  for (const Row& r : rows) {
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

TEST(ServiceConsent, AnswersAreKeptPerHostAndAskedOnce) {
  QTemporaryDir dir;
  const QString answers = dir.path() + "/config/zarn/service-hosts";
  RealFileSystem files;
  testing::FakeDialogs dialogs;
  dialogs.hostAnswers = {HostAnswer::Always, HostAnswer::Never, HostAnswer::ThisTime};
  {
    ServiceConsent consent(files, dialogs, answers);
    EXPECT_EQ(consent.Ask("Print.Example.com"), ServiceConsent::Decision::Allowed);
    EXPECT_EQ(consent.Ask("[::1]"), ServiceConsent::Decision::JustDenied);
    EXPECT_EQ(consent.Ask("once.example.com"), ServiceConsent::Decision::Allowed);
    EXPECT_EQ(consent.Ask("print.example.com"), ServiceConsent::Decision::Allowed);
    EXPECT_EQ(consent.Ask("::1"), ServiceConsent::Decision::Denied);
  }
  EXPECT_EQ(dialogs.hostQuestions, QStringList({"Allow print jobs from print.example.com?",
                                                "Allow print jobs from ::1?", "Allow print jobs from once.example.com?"}));
  EXPECT_EQ(files.ReadAll(answers).value_or(""), "allow print.example.com\ndeny ::1\n");

  // The next run: Always and Never hold, This time is asked again.
  dialogs.hostQuestions.clear();
  ServiceConsent next(files, dialogs, answers);
  EXPECT_EQ(next.Ask("PRINT.example.com"), ServiceConsent::Decision::Allowed);
  EXPECT_EQ(next.Ask("::1"), ServiceConsent::Decision::Denied);
  EXPECT_EQ(next.Ask("once.example.com"), ServiceConsent::Decision::JustDenied);
  EXPECT_EQ(dialogs.hostQuestions, QStringList({"Allow print jobs from once.example.com?"}));
}

}  // namespace
}  // namespace zarn
