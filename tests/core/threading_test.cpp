#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/main_thread.h"
#include "core/manual_reset_event.h"

using namespace ferrolad;
using namespace std::chrono_literals;

TEST(ManualResetEvent, StaysSignalledUntilReset) {
  ManualResetEvent ev(false, "EventReadReady");
  EXPECT_EQ(ev.name(), "EventReadReady");
  EXPECT_FALSE(ev.isSet());
  EXPECT_FALSE(ev.wait(0));
  EXPECT_FALSE(ev.wait(5));
  ev.set();
  EXPECT_TRUE(ev.isSet());
  EXPECT_TRUE(ev.wait(0));
  EXPECT_TRUE(ev.wait(0));  // a wait does not consume the signal
  ev.reset();
  EXPECT_FALSE(ev.wait(0));
  ManualResetEvent initiallySet(true);
  EXPECT_TRUE(initiallySet.wait(0));
  EXPECT_EQ(initiallySet.name(), "");
}

TEST(ManualResetEvent, OneSetReleasesEveryWaiter) {
  ManualResetEvent ev;
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.emplace_back([&] {
      if (ev.wait(10000)) ++released;
    });
  }
  ev.set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 4);
  ManualResetEvent forever;
  std::thread setter([&] { forever.set(); });
  EXPECT_TRUE(forever.wait(-1));
  setter.join();
}

TEST(EventLoopMainThread, RunSyncRunsOnTheLoopThreadAndWaits) {
  EventLoopMainThread loop;
  EXPECT_TRUE(loop.isCurrentThread());
  const auto loopId = std::this_thread::get_id();
  std::atomic<bool> workerDone{false};
  int value = 0;
  std::thread::id ranOn;
  std::thread worker([&] {
    EXPECT_FALSE(loop.isCurrentThread());
    loop.runSync([&] {
      ranOn = std::this_thread::get_id();
      value = 42;
    });
    EXPECT_EQ(value, 42);  // runSync returned only after the routine ran
    workerDone = true;
  });
  EXPECT_TRUE(loop.runUntil([&] { return workerDone.load(); }, 10s));
  worker.join();
  EXPECT_EQ(ranOn, loopId);

  bool inline_ = false;
  loop.runSync([&] { inline_ = true; });  // on the loop thread: runs at once
  EXPECT_TRUE(inline_);
}

TEST(EventLoopMainThread, PostKeepsOrderPerProducer) {
  EventLoopMainThread loop;
  constexpr int kProducers = 3, kEach = 500;
  std::vector<std::vector<int>> seen(kProducers);
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      for (int i = 0; i < kEach; ++i) loop.post([&, p, i] { seen[p].push_back(i); });
    });
  }
  for (auto& t : producers) t.join();
  EXPECT_EQ(loop.processPending(), static_cast<size_t>(kProducers * kEach));
  for (int p = 0; p < kProducers; ++p) {
    ASSERT_EQ(seen[p].size(), static_cast<size_t>(kEach));
    for (int i = 0; i < kEach; ++i) ASSERT_EQ(seen[p][i], i);
  }
  EXPECT_EQ(loop.processPending(), 0u);
}

TEST(EventLoopMainThread, RunUntilTimesOutAndStopEndsRun) {
  EventLoopMainThread loop;
  EXPECT_FALSE(loop.runUntil([] { return false; }, 20ms));
  int ran = 0;
  loop.post([&] { ++ran; });
  loop.post([&] { loop.stop(); });
  loop.post([&] { ++ran; });
  loop.run();  // returns at the stop task; the task behind it stays queued
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(loop.processPending(), 1u);
  EXPECT_EQ(ran, 2);
}

TEST(EventLoopMainThread, RunSyncPassesExceptionsBack) {
  EventLoopMainThread loop(EventLoopMainThread::Mode::OwnThread);
  EXPECT_THROW(loop.runSync([] { throw std::runtime_error("x"); }), std::runtime_error);
}

TEST(EventLoopMainThread, OwnThreadServesWorkersAndLetsGoWhenStopped) {
  EventLoopMainThread loop(EventLoopMainThread::Mode::OwnThread);
  EXPECT_FALSE(loop.isCurrentThread());
  bool onLoop = false;
  std::thread::id ranOn;
  loop.runSync([&] {
    onLoop = loop.isCurrentThread();
    ranOn = std::this_thread::get_id();
  });
  EXPECT_TRUE(onLoop);
  EXPECT_NE(ranOn, std::this_thread::get_id());

  ManualResetEvent posted;
  loop.post([&] { posted.set(); });
  EXPECT_TRUE(posted.wait(10000));

  loop.stop();
  bool ranAfterStop = false;
  loop.runSync([&] { ranAfterStop = true; });  // must not hang on a stopped loop
  loop.post([&] { ranAfterStop = true; });
  EXPECT_FALSE(ranAfterStop);
}

TEST(EventLoopMainThread, DestructionReleasesAWaitingWorker) {
  auto loop = std::make_unique<EventLoopMainThread>();  // nobody runs it
  ManualResetEvent queued;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    queued.set();
    loop->runSync([] {});
    returned = true;
  });
  ASSERT_TRUE(queued.wait(10000));
  // Destroy the loop once the worker's routine is queued; the worker must come back without it.
  for (int i = 0; i < 100000 && loop->pendingCount() == 0; ++i) std::this_thread::sleep_for(100us);
  ASSERT_EQ(loop->pendingCount(), 1u);
  loop.reset();
  worker.join();
  EXPECT_TRUE(returned.load());
}
