#pragma once
// What the spooler did with the last document a job sent to a printer, as
// far as it could be followed in the little time a job's end may take.
#include <QString>

namespace zarn {

struct SpoolerReport {
  enum class State {
    Unknown,  // not followed (not a spooler printer, or no answer in time)
    Printed,  // the printer has taken it (printing or done)
    Waiting,  // held in the queue: the printer is stopped or paused
    Refused,  // the printer does not accept jobs
    Failed,   // aborted or cancelled
  };
  int job = 0;  // the spooler's job number, 0 when not known
  State state = State::Unknown;
  QString reason;       // Waiting: why, in words ("out of paper")
  QString description;  // the printer's own description; empty when it has none
};

}  // namespace zarn
