#include "qt/paint_queue.h"

#include <QThread>

#include "errortrap/exception_guard.h"

namespace zarn {

namespace {
// Work is handed over in batches, so that the two threads meet once for many
// drawing calls, and only so many batches wait, so a long document never
// piles up in memory ahead of the PDF engine. Each side, once it waits, is
// woken only when there is a good stretch of work or room again: waking a
// thread costs far more than handing over a batch.
constexpr size_t kBatchWork = 128;
constexpr size_t kMostBatches = 16;     // the caller waits at this many
constexpr size_t kRoomBatches = 8;      // and goes on at this many
constexpr size_t kStretchBatches = 4;   // the painting thread goes on at this many
}  // namespace

PaintQueue::~PaintQueue() {
  if (active_) Abandon();
  if (thread_) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_->wait();
  }
}

void PaintQueue::Begin(std::unique_ptr<QPainter> painter, bool threaded) {
  painter_ = std::move(painter);
  target_ = std::make_unique<Target>(Target{*painter_, {}});
  threaded_ = threaded;
  active_ = true;
  ok_ = true;
  fault_ = 0;
  if (threaded_ && !thread_) {
    thread_.reset(QThread::create([this] { Run(); }));
    thread_->start();
  }
}

bool PaintQueue::Post(Work work) {
  if (!threaded_) {
    Run(work);
    return ok_;
  }
  pending_.push_back(std::move(work));
  if (pending_.size() >= kBatchWork) Submit(false, true);
  return true;
}

bool PaintQueue::End() { return Finish(true); }

void PaintQueue::Abandon() { Finish(false); }

bool PaintQueue::Finish(bool complete) {
  bool ok;
  if (threaded_) {
    if (!complete) {
      pending_.clear();
      std::lock_guard lock(mutex_);
      batches_.clear();
    }
    Submit(true, complete);
    std::vector<std::vector<Work>> painted;
    {
      std::unique_lock lock(mutex_);
      callerWaits_ = true;
      changed_.wait(lock, [this] { return batches_.empty() && !busy_; });
      callerWaits_ = false;
      ok = ok_;
      painted.swap(painted_);
    }
    if (fault_ != 0) {
      // Whatever the painting held when it faulted stays as it was.
      (void)target_.release();
      (void)painter_.release();
    }
  } else {
    Batch end{{}, true, complete};
    pending_.clear();
    Paint(end);
    ok = ok_;
  }
  target_.reset();
  painter_.reset();
  active_ = false;
  return ok;
}

void PaintQueue::Submit(bool last, bool complete) {
  Batch batch{std::move(pending_), last, complete};
  std::vector<std::vector<Work>> painted;
  bool wake;
  {
    std::unique_lock lock(mutex_);
    if (batches_.size() >= kMostBatches) {
      callerWaits_ = true;
      changed_.wait(lock, [this] { return batches_.size() <= kRoomBatches; });
      callerWaits_ = false;
    }
    batches_.push_back(std::move(batch));
    painted.swap(painted_);
    wake = threadWaits_ && (last || batches_.size() >= kStretchBatches);
  }
  if (wake) changed_.notify_all();
  // An emptied batch of before keeps its room for the next one.
  pending_ = painted.empty() ? std::vector<Work>() : std::move(painted.back());
  pending_.clear();
  pending_.reserve(kBatchWork);
}

void PaintQueue::Run() {
  ThreadGuard guard;
  std::unique_lock lock(mutex_);
  for (;;) {
    threadWaits_ = true;
    // Woken for a stretch of work, for the last batch of a document, or to stop.
    changed_.wait(lock, [this] {
      return batches_.size() >= kStretchBatches || (!batches_.empty() && batches_.back().last) || stopping_;
    });
    threadWaits_ = false;
    if (batches_.empty()) return;  // stopping, and nothing left
    Batch batch = std::move(batches_.front());
    batches_.pop_front();
    busy_ = true;
    const bool wake = callerWaits_ && batches_.size() <= kRoomBatches;
    lock.unlock();
    if (wake) changed_.notify_all();
    const uint32_t fault = guard.Run([&] { Paint(batch); });
    lock.lock();
    if (fault != 0) {
      // The rest of the document is skipped; End reports the fault.
      ok_ = false;
      fault_ = fault;
    }
    busy_ = false;
    painted_.push_back(std::move(batch.work));
    if (callerWaits_ && batches_.empty()) changed_.notify_all();  // Finish waits for this
  }
}

void PaintQueue::Run(Work& work) {
  if (!ok_) return;
  try {
    ok_ = work(*target_);
  } catch (...) {
    ok_ = false;
  }
}

void PaintQueue::Paint(Batch& batch) {
  Target& target = *target_;
  if (batch.complete) {
    for (Work& work : batch.work) Run(work);
  }
  if (!batch.last || fault_ != 0) return;  // a painter stopped by a fault is never touched again
  // The painter ends here, and the fonts go, on the thread that used them:
  // ending embeds the document's fonts.
  const bool ended = target.painter.end();
  ok_ = ok_ && batch.complete && ended;
  target.fonts.clear();
}

}  // namespace zarn
