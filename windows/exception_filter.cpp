// The machine-exception guard on Windows. Exceptions of the table (access
// violation, division by zero, stack overflow, ...) raised while a step runs
// jump back to that step, which reports them as error 65535. The handler is
// installed twice: as the process's filter of last resort, and as a vectored
// handler, which sees a fault before the compiler's own frame handlers can
// turn it into a foreign C++ exception. Ctrl+C reaches the console's control
// handler on a thread of the system's; it stops the main thread where it is
// and sends it into the same jump.
#include <windows.h>

#include <malloc.h>

#include <QWinEventNotifier>
#include <atomic>

#include "errortrap/exception_guard.h"

namespace zarn {

namespace {
constexpr uint32_t kControlCExit = 0xC000013Au;

bool g_installed = false;
HANDLE g_mainThread = nullptr;

// The hold of HeldSignals.
std::atomic<int> g_holdDepth{0};
std::atomic<WakeHandle> g_wake{0};
std::atomic<uint32_t> g_heldCode{0};

// Faults the system's own code raises and handles itself (probing memory).
bool InSystemCode(const void* address) {
  static const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  static const HMODULE kernelbase = GetModuleHandleW(L"kernelbase.dll");
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(address), &module))
    return false;
  return module != nullptr && (module == ntdll || module == kernelbase);
}

[[noreturn]] void JumpToStep(GuardFrame* frame, uint32_t code) {
  frame->code = code;
  ZARN_GUARD_JUMP(frame->env);
}

LONG WINAPI OnException(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  while (record->ExceptionRecord != nullptr) record = record->ExceptionRecord;
  const auto code = static_cast<uint32_t>(record->ExceptionCode);
  GuardFrame* frame = CurrentGuardFrame();
  if (frame == nullptr || !KnownException(code) || InSystemCode(info->ExceptionRecord->ExceptionAddress))
    return EXCEPTION_CONTINUE_SEARCH;
  // The stack's guard page is used up by an overflow; the next one needs it back.
  if (code == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
  JumpToStep(frame, code);
}

// Where the interrupted main thread goes on: as if it had called this.
[[noreturn]] void Interrupted() {
  GuardFrame* frame = CurrentGuardFrame();
  if (frame == nullptr) ExitProcess(kControlCExit);
  JumpToStep(frame, kControlCExit);
}

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (g_holdDepth.load() > 0) {
    g_heldCode = kControlCExit;
    if (const WakeHandle wake = g_wake.load()) SetEvent(reinterpret_cast<HANDLE>(wake));
    return TRUE;
  }
  if (g_mainThread == nullptr || SuspendThread(g_mainThread) == static_cast<DWORD>(-1)) return FALSE;
  CONTEXT context{};
  context.ContextFlags = CONTEXT_CONTROL;
  if (GetThreadContext(g_mainThread, &context)) {
    // Below whatever the thread was using, aligned as at a call.
    context.Rsp = ((context.Rsp - 256) & ~static_cast<DWORD64>(15)) - 8;
    context.Rip = reinterpret_cast<DWORD64>(&Interrupted);
    SetThreadContext(g_mainThread, &context);
  }
  ResumeThread(g_mainThread);
  return TRUE;
}
}  // namespace

struct ThreadGuard::Saved {};

// Every thread is guarded by the same handlers; Ctrl+C goes to the main thread only.
ThreadGuard::ThreadGuard() = default;
ThreadGuard::~ThreadGuard() = default;

HeldSignals::HeldSignals(std::function<void()> close) : outer_(g_wake.load()) {
  // The event through which a held Ctrl+C wakes the open box.
  static const HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_wake = reinterpret_cast<WakeHandle>(wake);
  ++g_holdDepth;
  ResetEvent(wake);  // what woke an earlier box
  auto notifier = std::make_unique<QWinEventNotifier>(wake);
  QObject::connect(notifier.get(), &QWinEventNotifier::activated, notifier.get(),
                   [close = std::move(close)] { close(); });
  notifier_ = std::move(notifier);
}

HeldSignals::~HeldSignals() {
  --g_holdDepth;
  g_wake = outer_;
}

bool HeldSignals::Pending() { return g_heldCode.load() != 0; }

void HeldSignals::RaiseHeld() {
  const uint32_t code = g_heldCode.exchange(0);
  if (code != 0) throw MachineException(code);
}

void vbwInitializeProtector() {
  if (g_installed) return;
  vbwHandleException();
  g_installed = true;
}

void vbwHandleException() {
  if (g_mainThread == nullptr)
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &g_mainThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  SetUnhandledExceptionFilter(OnException);
  AddVectoredExceptionHandler(1, OnException);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  // No system box for a fault that no step takes: the process ends, as on Linux.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

}  // namespace zarn
