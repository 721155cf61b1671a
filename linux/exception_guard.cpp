#include "errortrap/exception_guard.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <cstdlib>

#include "errortrap/trap.h"

namespace zarn {

namespace {
constexpr uint32_t kAccessViolation = 0xC0000005u;
constexpr uint32_t kUnknown = 0xFFFFFFFFu;

bool g_installed = false;
char* g_altStack = nullptr;
thread_local uintptr_t g_stackLow = 0;  // lowest address of this thread's stack, once known

// The hold of HeldSignals; read by the handler on whichever thread a signal lands.
volatile sig_atomic_t g_holdDepth = 0;
volatile sig_atomic_t g_wakeFd = -1;
volatile sig_atomic_t g_heldCode = 0;  // an exception code's bits, 0 when none held

constexpr std::array kGuardedSignals{SIGSEGV, SIGFPE, SIGILL, SIGBUS, SIGTRAP, SIGINT};

void RestoreDefaultAndReraise(int signo) {
  signal(signo, SIG_DFL);
  raise(signo);
}

void OnSignal(int signo, siginfo_t* info, void*) {
  // Ctrl+C and signals sent by a process (si_code <= 0) can wait; a fault of
  // the box's own code cannot, and takes the usual way.
  if (g_holdDepth > 0 && (signo == SIGINT || info->si_code <= 0)) {
    g_heldCode = static_cast<sig_atomic_t>(ExceptionCodeForSignal(signo, info->si_code, false));
    if (g_wakeFd >= 0) {
      const char byte = 1;
      [[maybe_unused]] const ssize_t n = write(g_wakeFd, &byte, 1);
    }
    return;
  }
  GuardFrame* frame = CurrentGuardFrame();
  if (frame == nullptr) {
    RestoreDefaultAndReraise(signo);
    return;
  }
  bool stackOverflow = false;
  if (signo == SIGSEGV && g_stackLow != 0) {
    const auto addr = reinterpret_cast<uintptr_t>(info->si_addr);
    // A fault within a few pages below the stack's end is the stack running out.
    stackOverflow = addr < g_stackLow + 64 * 1024 && addr + 1024 * 1024 > g_stackLow;
  }
  frame->code = ExceptionCodeForSignal(signo, info->si_code, stackOverflow);
  siglongjmp(frame->env, 1);
}

// The handler needs a stack of its own: on stack overflow the thread's is gone.
size_t AltStackSize() { return 64 * 1024 + SIGSTKSZ; }

void FindStackLimit() {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return;
  void* addr = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attr, &addr, &size) == 0) g_stackLow = reinterpret_cast<uintptr_t>(addr);
  pthread_attr_destroy(&attr);
}
}  // namespace

struct ThreadGuard::Saved {
  std::unique_ptr<char[]> stack{new char[AltStackSize()]};
  stack_t oldStack{};
  sigset_t oldMask{};
};

ThreadGuard::ThreadGuard() : saved_(std::make_unique<Saved>()) {
  stack_t ss{};
  ss.ss_sp = saved_->stack.get();
  ss.ss_size = AltStackSize();
  sigaltstack(&ss, &saved_->oldStack);
  FindStackLimit();
  sigset_t interrupt;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  pthread_sigmask(SIG_BLOCK, &interrupt, &saved_->oldMask);
}

ThreadGuard::~ThreadGuard() {
  pthread_sigmask(SIG_SETMASK, &saved_->oldMask, nullptr);
  sigaltstack(&saved_->oldStack, nullptr);
}

namespace {
// The pipe through which a held signal wakes the open box.
struct WakePipe {
  int fds[2] = {-1, -1};
  WakePipe() {
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) fds[0] = fds[1] = -1;
  }
  void Drain() const {
    char bytes[64];
    while (fds[0] >= 0 && read(fds[0], bytes, sizeof bytes) > 0) {
    }
  }
};
}  // namespace

HeldSignals::HeldSignals(std::function<void()> close) : outer_(g_wakeFd) {
  static const WakePipe wake;
  g_wakeFd = static_cast<sig_atomic_t>(wake.fds[1]);
  g_holdDepth = g_holdDepth + 1;
  wake.Drain();  // what woke an earlier box
  if (wake.fds[0] < 0) return;
  auto notifier = std::make_unique<QSocketNotifier>(wake.fds[0], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [close = std::move(close)] {
    wake.Drain();
    close();
  });
  notifier_ = std::move(notifier);
}

HeldSignals::~HeldSignals() {
  g_holdDepth = g_holdDepth - 1;
  g_wakeFd = static_cast<sig_atomic_t>(outer_);
}

bool HeldSignals::Pending() { return g_heldCode != 0; }

void HeldSignals::RaiseHeld() {
  const auto code = static_cast<uint32_t>(g_heldCode);
  if (code == 0) return;
  g_heldCode = 0;
  throw MachineException(code);
}

uint32_t ExceptionCodeForSignal(int signo, int si_code, bool stackOverflow) {
  switch (signo) {
    case SIGSEGV:
      return stackOverflow ? 0xC00000FDu : kAccessViolation;
    case SIGBUS:
      return si_code == BUS_ADRALN ? 0x80000002u : 0xC0000006u;
    case SIGILL:
      return (si_code == ILL_PRVOPC || si_code == ILL_PRVREG) ? 0xC0000096u : 0xC000001Du;
    case SIGTRAP:
      return si_code == TRAP_TRACE ? 0x80000004u : 0x80000003u;
    case SIGINT:
      return 0xC000013Au;
    case SIGFPE:
      switch (si_code) {
        case FPE_INTDIV: return 0xC0000094u;
        case FPE_INTOVF: return 0xC0000095u;
        case FPE_FLTDIV: return 0xC000008Eu;
        case FPE_FLTOVF: return 0xC0000091u;
        case FPE_FLTUND: return 0xC0000093u;
        case FPE_FLTRES: return 0xC000008Fu;
        case FPE_FLTINV: return 0xC0000090u;
        case FPE_FLTSUB: return 0xC000008Cu;
        default: return kUnknown;
      }
    default:
      return kUnknown;
  }
}

void vbwInitializeProtector() {
  if (g_installed) return;
  vbwHandleException();
  g_installed = true;
}

void vbwHandleException() {
  if (g_altStack == nullptr) g_altStack = static_cast<char*>(std::malloc(AltStackSize()));
  stack_t ss{};
  ss.ss_sp = g_altStack;
  ss.ss_size = AltStackSize();
  sigaltstack(&ss, nullptr);
  FindStackLimit();

  struct sigaction sa {};
  sa.sa_sigaction = OnSignal;
  // NODEFER: the handler leaves by siglongjmp without restoring a signal mask,
  // so the signal must not stay blocked.
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  for (int signo : kGuardedSignals) sigaction(signo, &sa, nullptr);
  // Past a file-size limit a write should fail and reach the trap like a full
  // disk, not kill the process without a word in the error log.
  signal(SIGXFSZ, SIG_IGN);
}

}  // namespace zarn
