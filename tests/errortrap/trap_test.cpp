#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "errortrap/error.h"
#include "errortrap/exception_guard.h"
#include "errortrap/trap.h"
#include "tests/support/fakes.h"
#include "tests/support/machine_faults.h"

namespace zarn {
namespace {

using testing::ScopedTrapHost;

TEST(Trap, LogLineHasEveryFieldInOrder) {
  ScopedTrapHost t;
  Trap trap(Proc::GetURL);
  trap.Step([] { throw ZarnError(-2147012889, "WinHttp", "The server name could not be resolved"); });
  ASSERT_EQ(t.LogLines().size(), 1);
  EXPECT_EQ(t.LogLines()[0],
            GeneralDateTime(QDateTime(QDate(2026, 12, 8), QTime(3, 29, 32))) +
                " V1.0.0- Error -2147012889\tThe server name could not be resolved\tSQL:\t"
                "Location: zarn.mWEB.GetURL\tLine 1");
  ASSERT_EQ(t.dialogs.questions.size(), 1);
  EXPECT_EQ(t.dialogs.questions[0],
            "Error -2147012889\r\nThe server name could not be resolved\r\nLocation: zarn.mWEB.GetURL\r\nLine 1");
}

TEST(Trap, RetryRunsTheSameStepAgainAndLogsEachFailure) {
  ScopedTrapHost t;
  t.dialogs.answers = {TrapChoice::Retry, TrapChoice::Retry};
  int attempts = 0;
  Trap trap(Proc::StartDoc);
  const bool done = trap.Step([&] {
    if (++attempts < 3) Raise(RuntimeError::Overflow);
  });
  EXPECT_TRUE(done);
  EXPECT_EQ(attempts, 3);
  EXPECT_EQ(t.LogLines().size(), 2);
  EXPECT_EQ(t.Errors(), QStringList({"6 Overflow", "6 Overflow"}));
}

TEST(Trap, IgnoreGoesOnWithTheNextStepLeavingTheTargetUnchanged) {
  ScopedTrapHost t;
  int target = 7, after = 0;
  Trap trap(Proc::SetMargin);
  EXPECT_FALSE(trap.Step([&] {
    Raise(RuntimeError::Overflow);
    target = 99;
  }));
  EXPECT_TRUE(trap.Step([&] { after = 1; }));
  EXPECT_EQ(target, 7);
  EXPECT_EQ(after, 1);
}

// The same statement is logged with the same line whichever steps ran before
// it: its source line counted from the trap's, and a helper's own source line.
int FailInHelper(Trap& trap) {
  trap.Step([] { Raise(RuntimeError::TypeMismatch); });
  return __LINE__ - 1;
}

TEST(Trap, LineIsFixedWhereTheStepIsWritten) {
  for (const int before : {0, 1, 3}) {
    for (const bool helper : {false, true}) {
      SCOPED_TRACE(::testing::Message() << before << " steps before, helper " << helper);
      ScopedTrapHost t;
      const int trapLine = __LINE__ + 1;
      Trap trap(Proc::DrawBox);
      for (int i = 0; i < before; ++i) trap.Step([] {});
      const int expected = helper ? FailInHelper(trap) : __LINE__ + 1 - trapLine;
      if (!helper) trap.Step([] { Raise(RuntimeError::TypeMismatch); });
      EXPECT_TRUE(t.LogLines().value(0).endsWith("Location: zarn.mPRINTSCRIPT.DrawBox\tLine " +
                                                 QString::number(expected)))
          << t.LogLines().value(0).toStdString();
    }
  }
}

TEST(Trap, EarlierLinesOfTheLogStay) {
  ScopedTrapHost t;
  t.files.Append(t.host.errorLogPath, "an earlier run\r\n");
  Trap trap(Proc::EndDoc);
  trap.Step([] { Raise(RuntimeError::Overflow); });
  trap.Step([] { Raise(RuntimeError::Overflow); });
  ASSERT_EQ(t.LogLines().size(), 3);
  EXPECT_EQ(t.LogLines()[0], "an earlier run");
}

TEST(Trap, NestedProcedureReportsUnderItsOwnLocation) {
  ScopedTrapHost t;
  Trap outer(Proc::ExecutePrintScript);
  bool outerGoesOn = outer.Step([] {
    Trap inner(Proc::SetFont);
    inner.Step([] { Raise(RuntimeError::InvalidArgument); });
  });
  EXPECT_TRUE(outerGoesOn);
  EXPECT_TRUE(t.LogLines().value(0).contains("Location: zarn.mPRINTSCRIPT.SetFont"));
}

TEST(Trap, EveryLocationNamesProjectModuleAndProcedure) {
  EXPECT_STREQ(LocationOf(Proc::Form_Load), "zarn.frmMAIN.Form_Load");
  EXPECT_STREQ(LocationOf(Proc::Base64Decode), "zarn.mBASE64.Base64Decode");
  EXPECT_STREQ(LocationOf(Proc::PDFPrinterOff), "zarn.mPRINTSCRIPT.PDFPrinterOff");
  EXPECT_STREQ(LocationOf(Proc::SetDefaultForm), "zarn.mPAPERSIZE.SetDefaultForm");
  EXPECT_STREQ(LocationOf(Proc::vbwHandleException), "zarn.vbwProtector.vbwHandleException");
}

// Machine exceptions must reach the trap of the step that was running.
using testing::DivideByZero;
using testing::StoreThroughNull;

TEST(Guard, AccessViolationBecomesError65535) {
  vbwInitializeProtector();
  ScopedTrapHost t;
  int after = 0;
  Trap trap(Proc::DrawImage);
  EXPECT_FALSE(trap.Step([] { StoreThroughNull(); }));
  trap.Step([&] { after = 1; });
  EXPECT_EQ(after, 1);
  EXPECT_EQ(t.Errors(), QStringList({"65535 Exception: Access Violation"}));
  EXPECT_TRUE(t.LogLines().value(0).contains("Location: zarn.mPRINTSCRIPT.DrawImage"));
}

TEST(Guard, IntegerDivisionByZeroBecomesError65535) {
  vbwInitializeProtector();
  ScopedTrapHost t;
  volatile int result = 0;
  Trap trap(Proc::DrawGradient);
  trap.Step([&] { result = DivideByZero(); });
  EXPECT_EQ(t.Errors(), QStringList({"65535 Exception: Integer Divide By Zero"}));
  // The guard stays armed after a caught exception.
  trap.Step([&] { result = DivideByZero(); });
  EXPECT_EQ(t.Errors().size(), 2);
}

#pragma GCC diagnostic ignored "-Winfinite-recursion"
int Recurse(int depth) {
  volatile char pad[4096];
  pad[0] = static_cast<char>(depth);
  return Recurse(depth + 1) + pad[0];
}

TEST(Guard, StackOverflowIsCaughtOnTheAlternateStack) {
  vbwInitializeProtector();
  ScopedTrapHost t;
  Trap trap(Proc::SplitLines);
  trap.Step([] { Recurse(0); });
  EXPECT_EQ(t.Errors(), QStringList({"65535 Exception: Stack Overflow"}));
}

#ifndef _WIN32
// Linux: SIGINT, the worker's signal mask, the file-size limit (Windows has its own tests).
TEST(Guard, CtrlCBecomesControlCExit) {
  vbwInitializeProtector();
  ScopedTrapHost t;
  Trap trap(Proc::Form_Load);
  trap.Step([] { raise(SIGINT); });
  EXPECT_EQ(t.Errors(), QStringList({"65535 Exception: Control C Exit"}));
}

// A worker thread's faults come back as exception codes, one after another,
// its stack overflow included, and Ctrl+C is not delivered to it.
TEST(Guard, AWorkerThreadsFaultsComeBackAsCodes) {
  vbwInitializeProtector();
  std::vector<uint32_t> codes;
  bool interruptBlocked = false;
  std::thread worker([&] {
    ThreadGuard guard;
    volatile int result = 0;
    codes.push_back(guard.Run([] { StoreThroughNull(); }));
    codes.push_back(guard.Run([&] { result = DivideByZero(); }));
    codes.push_back(guard.Run([] { Recurse(0); }));
    codes.push_back(guard.Run([&] { result = 1; }));
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    interruptBlocked = sigismember(&mask, SIGINT) == 1;
  });
  worker.join();
  EXPECT_EQ(codes, (std::vector<uint32_t>{0xC0000005u, 0xC0000094u, 0xC00000FDu, 0}));
  EXPECT_TRUE(interruptBlocked);
  EXPECT_EQ(MachineException(0xC0000005u).number(), 65535);
  EXPECT_EQ(MachineException(0xC0000005u).description(), "Exception: Access Violation");
}

// Writes 8 KiB under a 4 KiB file-size limit; exits 0 when the write failed.
[[noreturn]] void WritePastTheLimit(const std::string& path) {
  vbwInitializeProtector();
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = 4096;
  setrlimit(RLIMIT_FSIZE, &limit);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  const std::string block(8192, 'x');
  const size_t written = std::fwrite(block.data(), 1, block.size(), f);
  const bool failed = std::fflush(f) != 0 || written < block.size();
  std::fclose(f);
  std::_Exit(failed ? 0 : 3);
}

TEST(GuardDeath, WritePastTheFileSizeLimitFailsInsteadOfKilling) {
  const std::string path = ::testing::TempDir() + "zarn-fsize-limit";
  EXPECT_EXIT(WritePastTheLimit(path), ::testing::ExitedWithCode(0), "");
  std::remove(path.c_str());
}

#endif

TEST(Guard, ExceptionTextTable) {
  EXPECT_EQ(ExceptionText(0xC0000005u), "Exception: Access Violation");
  EXPECT_EQ(ExceptionText(0xC0000094u), "Exception: Integer Divide By Zero");
  EXPECT_EQ(ExceptionText(0x80000001u), "Exception: Guard Page");
  EXPECT_EQ(ExceptionText(0xC000013Au), "Exception: Control C Exit");
  EXPECT_EQ(ExceptionText(0x12345678u), "Unknown Exception");
#ifndef _WIN32
  EXPECT_EQ(ExceptionCodeForSignal(SIGFPE, FPE_FLTDIV, false), 0xC000008Eu);
  EXPECT_EQ(ExceptionCodeForSignal(SIGILL, ILL_ILLOPC, false), 0xC000001Du);
  EXPECT_EQ(ExceptionCodeForSignal(SIGBUS, BUS_ADRALN, false), 0x80000002u);
#endif
}

TEST(TrapDeath, AbortEndsTheProcessAtOnce) {
  EXPECT_EXIT(
      {
        ScopedTrapHost t;
        t.dialogs.answers = {TrapChoice::Abort};
        Trap trap(Proc::GetURL);
        trap.Step([] { Raise(RuntimeError::Overflow); });
        std::fprintf(stderr, "went on after abort");
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(kAbortExitStatus), "^$");
}

}  // namespace
}  // namespace zarn
