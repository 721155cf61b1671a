#pragma once
// The painting of one document at a time, done in order, either at once or
// on a painting thread of the queue's own. On the thread, Qt's PDF engine
// writes and compresses one page while the caller measures and shapes the
// next, which is most of the time of a text-heavy page on each side.
//
// Work given to the thread must not share anything the caller keeps using
// and Qt does not let two threads use: fonts, raw fonts and laid-out text
// belong to the thread that resolved them. What crosses is plain data (glyph
// numbers, positions, a font's description) and implicitly shared values
// nobody changes afterwards (strings, pens, brushes, paths, images). Work
// that needs a font makes it on the painting thread and may keep it in the
// document's scratch, which is dropped on that thread when the document ends.
#include <QHash>
#include <QPainter>
#include <QRawFont>
#include <QString>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace zarn {

class PaintQueue {
 public:
  // What work paints on, and keeps for the rest of the document.
  struct Target {
    QPainter& painter;
    // Fonts made on the painting thread, by the caller's number for them:
    // face is the face the caller shaped with, raw this thread's own face
    // once it is resolved, and sameFace whether the two agree.
    struct Font {
      QFont font;
      QString face;
      QRawFont raw{};
      bool sameFace = false;
    };
    QHash<int, Font> fonts;
  };
  // Returns false when the document can no longer be completed: the rest of
  // its work is then skipped and End reports the failure.
  using Work = std::function<bool(Target&)>;

  PaintQueue() = default;
  // Abandons a document still open and stops the thread.
  ~PaintQueue();
  PaintQueue(const PaintQueue&) = delete;
  PaintQueue& operator=(const PaintQueue&) = delete;

  // Takes over a begun painter. threaded: its work runs on the painting
  // thread; otherwise each Post runs at once, for a device the caller also
  // measures with (a spooler printer), which must not be painted concurrently.
  void Begin(std::unique_ptr<QPainter> painter, bool threaded);
  // True from Begin until End or Abandon.
  bool Active() const { return active_; }
  // Runs after all work posted before it. When work runs at once, returns
  // whether the document still stands after it; on the thread, failures show
  // at End, and this returns true.
  bool Post(Work work);
  // Runs what is posted, ends the painter, and returns whether all of the
  // work and the end succeeded.
  bool End();
  // Lets work underway finish, skips the rest and ends the painter; for a
  // document that will be thrown away.
  void Abandon();
  // After End: the exception code of a machine exception that stopped the
  // painting thread in this document, or 0. The painter and fonts it was
  // using are then left as they were, never touched again.
  uint32_t Fault() const { return fault_; }

 private:
  struct Batch {
    std::vector<Work> work;
    bool last = false;      // the document ends after this batch
    bool complete = false;  // with last: false skips the work (Abandon)
  };
  void Submit(bool last, bool complete);
  bool Finish(bool complete);
  void Run();  // the painting thread
  // Runs one work unless the document has failed; a throw fails it too.
  void Run(Work& work);
  // Runs one batch on the current thread; the caller holds no lock.
  void Paint(Batch& batch);

  bool active_ = false;
  bool threaded_ = false;
  std::unique_ptr<QPainter> painter_;
  std::unique_ptr<Target> target_;
  std::vector<Work> pending_;  // the caller's, not yet handed over

  std::unique_ptr<QThread> thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> batches_;  // handed over, not yet taken
  // Painted, for the caller to free: what the caller allocated goes back to
  // its own heap, so the two threads do not contend for one allocator lock.
  std::vector<std::vector<Work>> painted_;
  bool busy_ = false;          // the thread is painting a batch
  bool callerWaits_ = false, threadWaits_ = false;
  std::atomic<bool> ok_{true};  // of the document: no work failed
  uint32_t fault_ = 0;          // of the document, under mutex_ while painting
  bool stopping_ = false;
};

}  // namespace zarn
