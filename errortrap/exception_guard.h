#pragma once
// The machine-exception guard: access violations, division by zero, illegal
// instructions, stack overflow and Ctrl+C become program error 65535 with the
// classic exception text, reported by the trap of the step that was running.
// Signals arrive on an alternate stack, so a stack overflow is caught too.
#include <QString>
#include <csignal>
#include <cstdint>

namespace zarn {

// The text of a Windows exception code ("Exception: Access Violation" for
// 0xC0000005), "Unknown Exception" for any other code.
QString ExceptionText(uint32_t code);

// The exception code that a Linux signal stands for.
uint32_t ExceptionCodeForSignal(int signo, int si_code, bool stackOverflow);

// Installs the guard once per process (later calls do nothing).
void vbwInitializeProtector();
// Installs the signal handlers themselves.
void vbwHandleException();

}  // namespace zarn
