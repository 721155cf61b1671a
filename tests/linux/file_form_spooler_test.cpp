#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/wait.h>
#include <unistd.h>

#include "forms/form_store.h"
#include "linux/file_form_spooler.h"
#include "tests/support/fakes.h"
#include "tests/support/form_fakes.h"
#include "tests/support/qstring_printer.h"
#include "tests/support/recording_surface.h"

namespace zarn {
namespace {

using testing::Form;

struct Printers {
  Printers() {
    pages.printers = {{"Office", {Form("Letter", 215900, 279400), Form("A4", 210000, 297000)}},
                      {"Lab/Printer 2", {Form("A4", 210000, 297000)}}};
  }
  testing::FakePrinterPageSizes pages;
  testing::RecordingSurface surface{{"Office", "Lab/Printer 2"}};
};

void Write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QStringList DamagedCopies(const QString& folder) {
  return QDir(folder).entryList({"*.damaged-*"}, QDir::Files, QDir::Name);
}

TEST(FileFormSpooler, UserFormsSurviveANewSpoolerObject) {
  testing::ScopedTrapHost trap;
  QTemporaryDir dir;
  Printers p;
  {
    FileFormSpooler first(p.pages, p.surface, dir.path());
    ASSERT_EQ(AddNewForm(first, "Office", {100000, 150000}, "Ticket"), -1);
  }
  FileFormSpooler second(p.pages, p.surface, dir.path());
  EXPECT_EQ(GetFormNames(second, "Office"), QStringList({"Letter", "A4", "Ticket"}));
  FormSize size;
  EXPECT_EQ(GetFormproperties(second, "office", size, "TICKET"), 2);  // printer names too ignore case
  EXPECT_EQ(size.width, 100000);
  // Forms belong to their printer.
  EXPECT_EQ(GetFormNames(second, "Lab/Printer 2"), QStringList({"A4"}));
  EXPECT_FALSE(QFileInfo::exists(second.StorePath("Lab/Printer 2")));
  EXPECT_EQ(QFileInfo(second.StorePath("Office")).path(), dir.path());
}

TEST(FileFormSpooler, AStoreKeepsAtMost256FormsOfShortNames) {
  testing::ScopedTrapHost trap;
  QTemporaryDir dir;
  Printers p;
  FileFormSpooler spooler(p.pages, p.surface, dir.path());
  EXPECT_EQ(AddNewForm(spooler, "Office", {100000, 150000}, QString(257, u'x')), 0);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(AddNewForm(spooler, "Office", {100000, 150000}, QString::number(i)), -1);
  EXPECT_EQ(AddNewForm(spooler, "Office", {100000, 150000}, "one more"), 0);
  EXPECT_EQ(GetFormNames(spooler, "Office").size(), 2 + 256);
}

TEST(FileFormSpooler, PrinterNamesWithSlashesGetAFileOfTheirOwn) {
  testing::ScopedTrapHost trap;
  QTemporaryDir dir;
  Printers p;
  FileFormSpooler spooler(p.pages, p.surface, dir.path());
  ASSERT_EQ(AddNewForm(spooler, "Lab/Printer 2", {50000, 50000}, "Square"), -1);
  const QString path = spooler.StorePath("Lab/Printer 2");
  EXPECT_EQ(QFileInfo(path).path(), dir.path());
  EXPECT_TRUE(QFileInfo::exists(path));
  EXPECT_EQ(GetFormNames(spooler, "Lab/Printer 2"), QStringList({"A4", "Square"}));
}

TEST(FileFormSpooler, ADamagedStoreIsKeptAsideAndAFreshOneStarted) {
  const QByteArray damaged[] = {
      "not json at all",
      "{\"forms\": [{\"name\": \"Cut\", \"width\": 1000",
      "{\"forms\": {\"name\": \"Wrong shape\"}}",
      "{\"forms\": [{\"name\": \"Half\", \"width\": 10.5, \"height\": 1, \"left\": 0, \"top\": 0, \"right\": 1, "
      "\"bottom\": 1}]}",
      "{\"forms\": [{\"name\": \"\", \"width\": 1, \"height\": 1, \"left\": 0, \"top\": 0, \"right\": 1, "
      "\"bottom\": 1}]}",
      QByteArray("\0\xff\xfe garbage", 11),
  };
  for (const QByteArray& bytes : damaged) {
    testing::ScopedTrapHost trap;
    QTemporaryDir dir;
    Printers p;
    FileFormSpooler spooler(p.pages, p.surface, dir.path());
    const QString path = spooler.StorePath("Office");
    Write(path, bytes);

    EXPECT_EQ(GetFormNames(spooler, "Office"), QStringList({"Letter", "A4"})) << bytes.constData();
    const QStringList kept = DamagedCopies(dir.path());
    ASSERT_EQ(kept.size(), 1) << bytes.constData();
    QFile copy(dir.filePath(kept[0]));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), bytes);
    EXPECT_FALSE(QFileInfo::exists(path));

    // The fresh store takes forms again, and keeps them.
    EXPECT_EQ(AddNewForm(spooler, "Office", {100000, 150000}, "Ticket"), -1);
    FileFormSpooler later(p.pages, p.surface, dir.path());
    EXPECT_EQ(GetFormNames(later, "Office"), QStringList({"Letter", "A4", "Ticket"}));
    EXPECT_EQ(DamagedCopies(dir.path()).size(), 1);
    EXPECT_TRUE(trap.Errors().isEmpty());
  }
}

TEST(FileFormSpooler, AStoreThatCannotBeReadIsKeptAsideToo) {
  testing::ScopedTrapHost trap;
  QTemporaryDir dir;
  Printers p;
  FileFormSpooler spooler(p.pages, p.surface, dir.path());
  const QString path = spooler.StorePath("Office");
  ASSERT_TRUE(QDir().mkpath(path + "/inside"));  // a folder where the file belongs
  EXPECT_EQ(GetFormNames(spooler, "Office"), QStringList({"Letter", "A4"}));
  const QStringList kept = QDir(dir.path()).entryList({"*.damaged-*"}, QDir::Dirs);
  ASSERT_EQ(kept.size(), 1);
  EXPECT_TRUE(QFileInfo::exists(dir.filePath(kept[0] + "/inside")));
  EXPECT_EQ(AddNewForm(spooler, "Office", {100000, 150000}, "Ticket"), -1);
  EXPECT_EQ(GetFormNames(spooler, "Office"), QStringList({"Letter", "A4", "Ticket"}));
}

TEST(FileFormSpooler, ClientsAddingAtOnceKeepEveryFormAndASoundFile) {
  testing::ScopedTrapHost trap;
  QTemporaryDir dir;
  Printers p;
  constexpr int kClients = 3, kForms = 12;
  std::vector<pid_t> children;
  for (int c = 0; c < kClients; ++c) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      FileFormSpooler spooler(p.pages, p.surface, dir.path());
      PrinterHandle h = 0;
      bool all = spooler.OpenPrinter("Office", h);
      for (int i = 0; i < kForms; ++i) {
        FormInfo1 form;
        form.name = "C" + QByteArray::number(c) + "-" + QByteArray::number(i);
        form.cx = form.right = 10000 * (i + 1);
        form.cy = form.bottom = 20000;
        all = spooler.AddForm(h, 1, form) && all;
      }
      ::_exit(all ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  FileFormSpooler spooler(p.pages, p.surface, dir.path());
  const QStringList names = GetFormNames(spooler, "Office");
  EXPECT_EQ(names.size(), 2 + kClients * kForms);
  for (int c = 0; c < kClients; ++c)
    for (int i = 0; i < kForms; ++i) EXPECT_TRUE(names.contains(QString("C%1-%2").arg(c).arg(i)));
  EXPECT_TRUE(DamagedCopies(dir.path()).isEmpty());
}

TEST(FileFormSpooler, ResetDCOnlyAppliesToItsOwnSurface) {
  testing::ScopedTrapHost trap;
  QTemporaryDir dir;
  Printers p;
  FileFormSpooler spooler(p.pages, p.surface, dir.path());
  PrinterHandle h = 0;
  ASSERT_TRUE(spooler.OpenPrinter("Office", h));
  QByteArray record(spooler.DocumentProperties(0, h, "Office", nullptr, nullptr, 0), '\0');
  ASSERT_EQ(spooler.DocumentProperties(0, h, "Office", &record, nullptr, DM_OUT_BUFFER), 1);
  EXPECT_EQ(record.left(7), QByteArray("Office\0", 7));
  EXPECT_EQ(spooler.ResetDC(p.surface.DeviceContext() + 1, record), 0);
  EXPECT_TRUE(p.surface.calls.isEmpty());
  EXPECT_EQ(spooler.ResetDC(p.surface.DeviceContext(), record), p.surface.DeviceContext());
  EXPECT_EQ(p.surface.Take(), QStringList({"FormSize Letter 215900 279400"}));  // the current settings
  EXPECT_TRUE(spooler.ClosePrinter(h));
  EXPECT_FALSE(spooler.ClosePrinter(h));
}

TEST(StandardPageSizes, StartWithLetterThenA4) {
  const QList<PageForm> sizes = StandardPageSizes();
  ASSERT_GE(sizes.size(), 2);
  EXPECT_EQ(sizes[0].name, "Letter");
  EXPECT_EQ(sizes[1].name, "A4");
  EXPECT_EQ(sizes[1].width, 210000);
  EXPECT_EQ(sizes[1].height, 297000);
  for (const PageForm& f : sizes) {
    EXPECT_EQ(f.right, f.width);
    EXPECT_EQ(f.bottom, f.height);
  }
}

}  // namespace
}  // namespace zarn
