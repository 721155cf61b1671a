#include "tests/fuzz/fuzz_host.h"

#include "errortrap/trap.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "qt/system_clock.h"

namespace zarn::fuzz {
namespace {
class IgnoreAll final : public Dialogs {
 public:
  void Message(const QString&, const QString&) override {}
  TrapChoice AbortRetryIgnore(const QString&, const QString&) override { return TrapChoice::Ignore; }
};
}  // namespace

void InstallIgnoringTrapHost() {
  static IgnoreAll dialogs;
  static SystemClock clock;
  static TrapHost host;
  host.dialogs = &dialogs;
  host.clock = &clock;
  host.files = nullptr;
  host.abort = [] { __builtin_trap(); };  // nothing answers Abort: reaching it is a finding
  InstallTrapHost(&host);
}

}  // namespace zarn::fuzz
