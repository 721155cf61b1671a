// The painting queue: work in order, on its own thread or at once, failures
// and abandoned documents, one thread across documents.
#include "qt/paint_queue.h"

#include <QImage>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "errortrap/exception_guard.h"
#include "tests/support/gui_app.h"
#include "tests/support/machine_faults.h"

namespace zarn::testing {
namespace {

class PaintQueueTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { EnsureGuiApp(); }

  // A painter on a fresh white image, handed to the queue.
  void Begin() {
    image = QImage(64, 64, QImage::Format_RGB32);
    image.fill(Qt::white);
    auto painter = std::make_unique<QPainter>(&image);
    queue.Begin(std::move(painter), GetParam());
  }

  QImage image;
  PaintQueue queue;
};

TEST_P(PaintQueueTest, WorkRunsInOrderAndTheEndFinishesThePainting) {
  QThread* painting = nullptr;
  for (int document = 0; document < 3; ++document) {
    Begin();
    std::vector<int> order;
    std::vector<QThread*> threads;
    const int works = 1000;  // many batches
    for (int i = 0; i < works; ++i) {
      queue.Post([&, i](PaintQueue::Target& t) {
        order.push_back(i);
        threads.push_back(QThread::currentThread());
        t.painter.fillRect(QRect(i % 64, 0, 1, 1), Qt::black);
        return true;
      });
    }
    EXPECT_TRUE(queue.Active());
    EXPECT_TRUE(queue.End());
    EXPECT_FALSE(queue.Active());
    ASSERT_EQ(order.size(), static_cast<size_t>(works));
    for (int i = 0; i < works; ++i) ASSERT_EQ(order[i], i);
    // On the queue's one thread, the same for every document; or on the caller's.
    for (QThread* t : threads) EXPECT_EQ(t == QThread::currentThread(), !GetParam());
    if (GetParam() && document > 0) {
      EXPECT_EQ(threads.front(), painting);
    }
    painting = threads.front();
    EXPECT_EQ(image.pixel(5, 0), qRgb(0, 0, 0));
  }
}

TEST_P(PaintQueueTest, AFailedWorkSkipsTheRestAndTheEndReportsIt) {
  Begin();
  std::atomic<int> ran{0};
  for (int i = 0; i < 300; ++i) {
    queue.Post([&, i](PaintQueue::Target&) {
      ++ran;
      return i != 10;
    });
  }
  EXPECT_FALSE(queue.End());
  EXPECT_EQ(ran.load(), 11);

  // The next document starts clean.
  Begin();
  queue.Post([](PaintQueue::Target& t) {
    t.painter.fillRect(QRect(0, 0, 4, 4), Qt::black);
    return true;
  });
  EXPECT_TRUE(queue.End());
  EXPECT_EQ(image.pixel(1, 1), qRgb(0, 0, 0));
}

TEST_P(PaintQueueTest, AWorkThatThrowsFailsTheDocument) {
  Begin();
  queue.Post([](PaintQueue::Target&) -> bool { throw std::runtime_error("no"); });
  EXPECT_FALSE(queue.End());
}

// A fault on the painting thread ends that document, not the process: End
// reports it with its exception code, for the caller's trap, and the thread
// paints the next document.
TEST(PaintQueueThread, AFaultStopsTheDocumentAndIsReportedAtTheEnd) {
  EnsureGuiApp();
  vbwInitializeProtector();
  PaintQueue queue;
  std::vector<QImage> images(2, QImage(8, 8, QImage::Format_RGB32));
  queue.Begin(std::make_unique<QPainter>(&images[0]), true);
  int after = 0;
  queue.Post([](PaintQueue::Target&) {
    StoreThroughNull();
    return true;
  });
  queue.Post([&](PaintQueue::Target&) { return ++after > 0; });
  EXPECT_FALSE(queue.End());
  EXPECT_EQ(queue.Fault(), 0xC0000005u);
  EXPECT_EQ(after, 0);

  images[1].fill(Qt::white);
  queue.Begin(std::make_unique<QPainter>(&images[1]), true);
  queue.Post([](PaintQueue::Target& t) {
    t.painter.fillRect(QRect(0, 0, 4, 4), Qt::black);
    return true;
  });
  EXPECT_TRUE(queue.End());
  EXPECT_EQ(queue.Fault(), 0u);
  EXPECT_EQ(images[1].pixel(1, 1), qRgb(0, 0, 0));
}

TEST_P(PaintQueueTest, AnAbandonedDocumentEndsAndTheQueueServesTheNext) {
  Begin();
  for (int i = 0; i < 500; ++i) queue.Post([](PaintQueue::Target&) { return true; });
  queue.Abandon();
  EXPECT_FALSE(queue.Active());
  Begin();
  EXPECT_TRUE(queue.End());
}

TEST_P(PaintQueueTest, TheQueueGoesWithADocumentStillOpen) {
  auto q = std::make_unique<PaintQueue>();
  QImage target(8, 8, QImage::Format_RGB32);
  q->Begin(std::make_unique<QPainter>(&target), GetParam());
  for (int i = 0; i < 200; ++i) q->Post([](PaintQueue::Target&) { return true; });
  q.reset();  // must neither hang nor leave the painter running
  SUCCEED();
}

TEST(PaintQueueInline, WorkRunsAtOnce) {
  EnsureGuiApp();
  QImage image(8, 8, QImage::Format_RGB32);
  PaintQueue queue;
  queue.Begin(std::make_unique<QPainter>(&image), false);
  bool ran = false;
  queue.Post([&](PaintQueue::Target&) { return ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(queue.End());
}

INSTANTIATE_TEST_SUITE_P(Threaded, PaintQueueTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "OnItsThread" : "AtOnce"; });

}  // namespace
}  // namespace zarn::testing
