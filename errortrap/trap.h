#pragma once
// The error trap that every procedure carries. A procedure names its location
// once and runs each of its statements as a step:
//
//   Trap trap(Proc::SetMargin);
//   trap.Step([&] { state.MarginTop = top; });
//
// An error inside a step (a ZarnError, any std::exception, or a machine
// exception such as an access violation, which the guard turns into error
// 65535) is appended to the error log and offered to the user: Abort ends the
// process at once, Retry runs the same step again, Ignore goes on with the next
// step. Step returns false when the step was ignored, so procedures that leave
// after a failure can say so.
//
// The line the log names is fixed where each step is written, whatever path
// led to it: the step's source line counted from the line that built the trap
// (1 for the step written right below it). A step in a helper that shares the
// trap but is written above it or in another file has no such count; it is
// named by its own source line. The interpreter names its steps by the
// script's line numbers instead (StepAtLine).
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <csetjmp>
#include <exception>
#include <functional>
#include <new>
#include <optional>
#include <utility>

#include "errortrap/error.h"
#include "errortrap/procedures.h"

namespace zarn {

class Dialogs;
class Clock;
class FileSystem;

// What the trap needs from the platform, installed once by main() (or a test).
struct TrapHost {
  Dialogs* dialogs = nullptr;
  const Clock* clock = nullptr;
  FileSystem* files = nullptr;
  QString errorLogPath;           // program folder + "/error_handler.txt"
  std::function<void()> abort;    // ends the process; must not return (else: exit kAbortExitStatus)
  int ignored = 0;                // errors the user chose to ignore so far
};

// The process's exit status after the user chose Abort in the trap's box: the
// job did not run to its end (a normal end is 0).
inline constexpr int kAbortExitStatus = 3;

// Installs the host for the whole process; pass nullptr to remove it.
void InstallTrapHost(TrapHost* host);
TrapHost* CurrentTrapHost();

// One error as the trap reports it.
struct TrapReport {
  ZarnError error;
  const char* location;
  int line;
};

// The error log line without its CR LF, and the four-line user message.
QString ErrorLogLine(const TrapReport& report, const QDateTime& now, const QLocale& locale = QLocale::system());
QString ErrorMessage(const TrapReport& report);

// A date and time as the desktop writes them in general: its short date with
// a four-digit year, then its long time without the time zone
// ("09.12.2026 16:58:09" in de_DE, "12/9/2026 4:58:09 PM" in en_US). The C
// locale, which stands for no desktop, writes "09/12/2026 16:58:09".
QString GeneralDateTime(const QDateTime& t, const QLocale& locale = QLocale::system());

// A machine exception caught while a step ran; filled by the signal handler.
struct GuardFrame {
  sigjmp_buf env;
  GuardFrame* outer = nullptr;
  volatile unsigned int code = 0;  // exception code of the machine exception
};
// The innermost running step, read by the signal handler.
GuardFrame*& CurrentGuardFrame();

// Where a statement is written, from the compilers' call-site builtins
// (std::source_location needs a newer clang than the fuzz build's).
struct SourcePlace {
  const char* file;
  unsigned line;
};

class Trap {
 public:
  explicit Trap(Proc procedure, const char* file = __builtin_FILE(), unsigned line = __builtin_LINE())
      : procedure_(procedure), where_{file, line} {}
  Trap(const Trap&) = delete;
  Trap& operator=(const Trap&) = delete;

  template <typename F>
  bool Step(F&& statement, const char* file = __builtin_FILE(), unsigned line = __builtin_LINE()) {
    const SourcePlace where{file, line};
    return Run(std::forward<F>(statement), &where, 0);
  }

  // A step whose line is given by the caller (the interpreter: the script's
  // own line number).
  template <typename F>
  bool StepAtLine(int line, F&& statement) {
    return Run(std::forward<F>(statement), nullptr, line);
  }

  Proc procedure() const { return procedure_; }

 private:
  enum class Outcome { Retry, Ignore };

  // The line is worked out only when the step fails: steps are many.
  template <typename F>
  bool Run(F&& statement, const SourcePlace* where, int line) {
    for (;;) {
      std::optional<ZarnError> error;
      GuardFrame frame;
      frame.outer = CurrentGuardFrame();
      CurrentGuardFrame() = &frame;
      if (sigsetjmp(frame.env, 0) == 0) {
        try {
          std::forward<F>(statement)();
          CurrentGuardFrame() = frame.outer;
          return true;
        } catch (const ZarnError& e) {
          error = e;
        } catch (const std::bad_alloc&) {
          error = ZarnError(static_cast<int32_t>(RuntimeError::OutOfMemory), QStringLiteral("zarn"),
                            RuntimeErrorText(RuntimeError::OutOfMemory));
        } catch (const std::exception& e) {
          error = ZarnError(static_cast<int32_t>(RuntimeError::InvalidArgument), QStringLiteral("zarn"),
                            QString::fromUtf8(e.what()));
        } catch (...) {
          // Not an error (the user stopping the job): it passes every trap.
          CurrentGuardFrame() = frame.outer;
          throw;
        }
      } else {
        error = MachineError(frame.code);
      }
      CurrentGuardFrame() = frame.outer;
      if (Handle(*error, where ? LineOf(*where) : line) == Outcome::Ignore) return false;
    }
  }

  static ZarnError MachineError(unsigned int code);
  // The logged line of a step written at `step` (see the top of this file).
  int LineOf(const SourcePlace& step) const;
  Outcome Handle(const ZarnError& error, int line);

  Proc procedure_;
  SourcePlace where_;
};

}  // namespace zarn
