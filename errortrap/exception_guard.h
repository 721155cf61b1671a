#pragma once
// The machine-exception guard: access violations, division by zero, illegal
// instructions, stack overflow and Ctrl+C become program error 65535 with the
// classic exception text, reported by the trap of the step that was running.
// On Linux these are signals, which arrive on an alternate stack, so a stack
// overflow is caught too; on Windows the exception filter and the console's
// control handler (windows/exception_filter.cpp).
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "errortrap/error.h"
#include "errortrap/trap.h"

namespace zarn {

// The text of a Windows exception code ("Exception: Access Violation" for
// 0xC0000005), "Unknown Exception" for any other code.
QString ExceptionText(uint32_t code);
// True for a code of that table (a machine exception the guard takes).
bool KnownException(uint32_t code);

#ifndef _WIN32
// The exception code that a Linux signal stands for.
uint32_t ExceptionCodeForSignal(int signo, int si_code, bool stackOverflow);
#endif

// The error a machine exception becomes: 65535 with the exception's text.
ZarnError MachineException(uint32_t code);

// The guard on a worker thread of the program's own, which has no trap and
// no dialog: a fault there would otherwise end the process without a line in
// the error log. Make one at the start of the thread; Run then stops the work
// at a fault and returns its exception code, for the thread that waits on
// the work to raise through its own trap. Ctrl+C is left to the other
// threads while the guard stands.
class ThreadGuard {
 public:
  ThreadGuard();   // Linux: an alternate signal stack of the thread's own, SIGINT blocked
  ~ThreadGuard();  // Linux: the thread's earlier signal stack and mask again
  ThreadGuard(const ThreadGuard&) = delete;
  ThreadGuard& operator=(const ThreadGuard&) = delete;

  // Runs work; returns 0, or the code of the machine exception that stopped it
  // (the work is then left where it faulted: what it held is not released).
  template <typename F>
  uint32_t Run(F&& work) {
    GuardFrame frame;
    frame.outer = CurrentGuardFrame();
    CurrentGuardFrame() = &frame;
    uint32_t code = 0;
    if (ZARN_GUARD_SET(frame.env) == 0) {
      std::forward<F>(work)();
    } else {
      code = frame.code;
    }
    CurrentGuardFrame() = frame.outer;
    return code;
  }

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

// What tells an open box to close: the write end of a pipe on Linux, an
// event handle on Windows.
using WakeHandle = std::intptr_t;

// While a modal box is open, its event loop must not be left by a jump out of
// a signal handler: Qt's state would be torn and the next box would crash.
// For as long as one of these stands, Ctrl+C and any exception signal that
// another process sends are held instead, and the box is woken (a byte
// written to a pipe, an event set) to run `close` in its event loop. Once it
// has closed, RaiseHeld throws the held exception as its error (65535), for
// the trap of the step that opened the box. Needs a QCoreApplication.
class HeldSignals {
 public:
  explicit HeldSignals(std::function<void()> close);
  ~HeldSignals();
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

  static bool Pending();
  static void RaiseHeld();

 private:
  WakeHandle outer_;
  std::unique_ptr<QObject> notifier_;  // calls close from the event loop
};

// Installs the guard once per process (later calls do nothing).
void vbwInitializeProtector();
// Installs the handlers themselves.
void vbwHandleException();

}  // namespace zarn
