// The program as a German desktop starts it: LC_ALL=de_DE.UTF-8 in the
// environment, read by Qt and, through QCoreApplication, by the C library,
// whose number reading and writing then use "," too.
#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <memory>

#include "errortrap/convert.h"
#include "errortrap/error.h"
#include "errortrap/trap.h"
#include "launch/form_load.h"
#include "web/web.h"

namespace {

constexpr const char* kLocale = "de_DE.UTF-8";
QString g_unavailable;  // why the locale could not be selected, empty when it was

bool CLibraryHas(const char* name) {
  const locale_t l = newlocale(LC_ALL_MASK, name, nullptr);
  if (l) freelocale(l);
  return l != nullptr;
}

// The C library's data for the locale, built into dir when the system has none
// (localedef, from the "locales" package's sources).
void ProvideCLibraryLocale(const QString& dir) {
  if (CLibraryHas(kLocale)) return;
  const QString target = dir + u'/' + QString::fromLatin1(kLocale);
  const std::string command = "localedef -c -i de_DE -f UTF-8 '" + target.toStdString() + "' >/dev/null 2>&1";
  std::system(command.c_str());
  qputenv("LOCPATH", dir.toLocal8Bit());
  if (!CLibraryHas(kLocale))
    g_unavailable = QStringLiteral("the C library has no de_DE.UTF-8 and localedef could not build it "
                                   "(install the \"locales\" package)");
}

class DesktopLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!g_unavailable.isEmpty()) GTEST_SKIP() << g_unavailable.toStdString();
    if (std::strcmp(localeconv()->decimal_point, ",") != 0 || QLocale::system().decimalPoint() != u",")
      GTEST_SKIP() << "de_DE.UTF-8 was not selected: the decimal separator is not \",\"";
  }
};

TEST_F(DesktopLocale, NumberFieldsTakeTheLocalesSeparatorAndThePoint) {
  struct Row {
    const char* field;
    int32_t value;
    int error;  // 0: the value
  } rows[] = {
      {"20,5", 20, 0}, {"21,5", 22, 0}, {" -2,5 ", -2, 0}, {"20.5", 20, 0}, {"21.5", 22, 0},
      {"1.000", 1, 0},  // "." is never a thousands separator
      {"1,000.5", 0, 13},
  };
  for (const Row& r : rows) {
    int error = 0;
    int32_t value = 0;
    try {
      value = zarn::FieldToLong(QString::fromLatin1(r.field));
    } catch (const zarn::ZarnError& e) {
      error = e.number();
    }
    EXPECT_EQ(error, r.error) << r.field;
    if (!r.error) {
      EXPECT_EQ(value, r.value) << r.field;
    }
  }
}

TEST_F(DesktopLocale, RunLogTimeTakesTheLocalesSeparators) {
  const QDateTime t(QDate(2026, 12, 8), QTime(3, 29, 32));
  EXPECT_EQ(zarn::RunLogTime(t), "08.12.2026 03:29:32");
  EXPECT_EQ(zarn::RunLogTime(t, QLocale(QStringLiteral("fi_FI"))), "08.12.2026 03.29.32");
  EXPECT_EQ(zarn::RunLogTime(t, QLocale(QStringLiteral("en_US"))), "08/12/2026 03:29:32");
  EXPECT_EQ(zarn::RunLogTime(t, QLocale::c()), "08/12/2026 03:29:32");
}

TEST_F(DesktopLocale, ErrorLogDateIsTheDesktopsGeneralDate) {
  const zarn::TrapReport report{zarn::ZarnError(13, "zarn", "Type mismatch"), "zarn.mPRINTSCRIPT.SFX", 2};
  const QDateTime t(QDate(2026, 12, 9), QTime(16, 58, 9));
  const QString rest = " V" ZARN_VERSION "- Error 13\tType mismatch\tSQL:\tLocation: zarn.mPRINTSCRIPT.SFX\tLine 2";
  EXPECT_EQ(zarn::ErrorLogLine(report, t), "09.12.2026 16:58:09" + rest);
  EXPECT_EQ(zarn::ErrorLogLine(report, t, QLocale(QStringLiteral("en_US"))), "12/9/2026 4:58:09 PM" + rest);
  EXPECT_EQ(zarn::ErrorLogLine(report, t, QLocale::c()), "09/12/2026 16:58:09" + rest);
}

TEST_F(DesktopLocale, RandomNumberOfTheRequestTakesTheLocalesSeparator) {
  EXPECT_EQ(zarn::SingleText(0.7055475f), "0,7055475");
}

// Selected when the tests run (not when they are only listed), before anything
// asks Qt for the system locale.
class GermanDesktop : public ::testing::Environment {
 public:
  void SetUp() override {
    ProvideCLibraryLocale(locales_.path());
    qputenv("LC_ALL", kLocale);
    static int argc = 1;
    static char name[] = "test_locale";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QCoreApplication>(argc, argv);  // sets the C library's locale from the environment
  }
  // Before main() returns: Qt must not be torn down after its own statics.
  void TearDown() override { app_.reset(); }

 private:
  QTemporaryDir locales_;
  std::unique_ptr<QCoreApplication> app_;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new GermanDesktop);
  return RUN_ALL_TESTS();
}
