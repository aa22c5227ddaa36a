// In-process byte stream: framing of arbitrary chunks, fault injection and wire-time emulation.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "sim/sim_link.h"
#include "sim_test_util.h"

namespace ferrolad::sim {
namespace {

using namespace std::chrono_literals;

// Collects what the link sends back.
struct Collector {
  std::mutex mu;
  std::condition_variable cv;
  std::string bytes;
  std::vector<std::chrono::steady_clock::time_point> arrivals;

  void attach(SimLink& link) {
    link.setReceiver([this](const uint8_t* d, size_t n) {
      std::lock_guard l(mu);
      bytes.append(reinterpret_cast<const char*>(d), n);
      arrivals.push_back(std::chrono::steady_clock::now());
      cv.notify_all();
    });
  }
  std::string take(SimLink& link) {
    EXPECT_TRUE(link.waitIdle(5s));
    std::lock_guard l(mu);
    std::string s;
    s.swap(bytes);
    return s;
  }
};

const std::string kRead = test::Frame(test::ReadReq(1, 3, 0x5004, 1));  // ACCEL
const std::string kAnswer = ":010302006496\r\n";

TEST(SimLink, FramesArriveInAnyChunking) {
  SimController c;
  SimLink link(c);
  Collector col;
  col.attach(link);
  std::string stream = "noise" + kRead + ":0103" + kRead;  // an unfinished frame is dropped at the next ':'
  for (char ch : stream) link.write(std::string_view(&ch, 1));
  EXPECT_EQ(col.take(link), kAnswer + kAnswer);
  link.write(kRead + kRead);
  EXPECT_EQ(col.take(link), kAnswer + kAnswer);
}

TEST(SimLink, InlineDeliveryAnswersBeforeWriteReturns) {
  SimController c;
  SimLinkOptions o;
  o.deliverInline = true;
  SimLink link(c, o);
  Collector col;
  col.attach(link);
  link.write(kRead);
  std::lock_guard l(col.mu);
  EXPECT_EQ(col.bytes, kAnswer);
}

TEST(SimLink, FaultsAreAppliedAndCounted) {
  SimController c;
  SimLink link(c);
  Collector col;
  col.attach(link);

  link.dropAnswers(2);
  link.write(kRead + kRead + kRead);
  EXPECT_EQ(col.take(link), kAnswer);

  link.garbageAnswers(1);
  link.write(kRead);
  std::string g = col.take(link);
  ASSERT_GT(g.size(), kAnswer.size());
  EXPECT_EQ(g.substr(g.size() - kAnswer.size()), kAnswer);
  EXPECT_EQ(g.find(':'), g.size() - kAnswer.size()) << "the junk holds no frame start";

  link.badLrcAnswers(1);
  link.write(kRead);
  std::string bad = col.take(link);
  EXPECT_EQ(bad.size(), kAnswer.size());
  EXPECT_NE(bad, kAnswer);
  EXPECT_FALSE(test::Unframe(bad));

  link.wrongIdAnswers(1);
  link.write(kRead);
  auto wrongId = test::Unframe(col.take(link));
  ASSERT_TRUE(wrongId) << "the LRC stays right";
  EXPECT_EQ((*wrongId)[0], 2);
  EXPECT_EQ((*wrongId)[1], 3);

  link.wrongFunctionAnswers(1);
  link.write(kRead);
  auto wrongFn = test::Unframe(col.take(link));
  ASSERT_TRUE(wrongFn);
  EXPECT_EQ((*wrongFn)[0], 1);
  EXPECT_NE((*wrongFn)[1], 3);

  link.setAnswerDelayMs(30);
  auto t0 = std::chrono::steady_clock::now();
  link.write(kRead);
  EXPECT_EQ(col.take(link), kAnswer);
  EXPECT_GE(col.arrivals.back() - t0, 30ms);
  link.setAnswerDelayMs(0);

  link.write(kRead);
  EXPECT_EQ(col.take(link), kAnswer) << "every fault ran out";
  auto f = link.faultCounters();
  EXPECT_EQ(f.dropped, 2u);
  EXPECT_EQ(f.garbage, 1u);
  EXPECT_EQ(f.badLrc, 1u);
  EXPECT_EQ(f.wrongId, 1u);
  EXPECT_EQ(f.wrongFunction, 1u);
  EXPECT_EQ(f.delayed, 1u);
  EXPECT_EQ(c.stats().answered, 9u) << "the controller answered every request; the line lost some";
}

TEST(SimLink, WireTimeOfRequestAndAnswer) {
  // 17 + 15 characters of 10 bits at 115200 baud, plus 1 ms
  EXPECT_EQ(SimLink::WireTime(17, 15, 115200, 1000), std::chrono::microseconds(2777 + 1000));
  EXPECT_EQ(SimLink::WireTime(17, 15, 0, 1000), std::chrono::microseconds(0));
  EXPECT_EQ(SimLink::WireTime(17, 15, 9600, 0), std::chrono::microseconds(33333));

  SimController c;
  SimLinkOptions o;
  o.wireBaud = 9600;
  o.turnaroundUs = 1000;
  SimLink link(c, o);
  Collector col;
  col.attach(link);
  auto t0 = std::chrono::steady_clock::now();
  link.write(kRead);
  EXPECT_EQ(col.take(link), kAnswer);
  // never earlier than the line allows
  EXPECT_GE(col.arrivals.back() - t0, SimLink::WireTime(kRead.size(), kAnswer.size(), 9600, 1000));
}

TEST(SimLink, ReceiverCanBeReplacedAndRemoved) {
  SimController c;
  SimLink link(c);
  Collector a, b;
  a.attach(link);
  link.write(kRead);
  EXPECT_EQ(a.take(link), kAnswer);
  b.attach(link);
  link.write(kRead);
  EXPECT_EQ(b.take(link), kAnswer);
  EXPECT_EQ(a.take(link), "");
  link.setReceiver(nullptr);
  link.write(kRead);
  EXPECT_TRUE(link.waitIdle(5s));
  EXPECT_EQ(b.take(link), "");
}

TEST(SimLink, ReceiverMayWriteTheNextRequest) {
  SimController c;
  SimLink link(c);
  std::mutex mu;
  std::condition_variable cv;
  int answers = 0;
  link.setReceiver([&](const uint8_t*, size_t) {
    std::lock_guard l(mu);
    if (++answers < 3) link.write(kRead);  // chained from the delivery thread
    cv.notify_all();
  });
  link.write(kRead);
  std::unique_lock l(mu);
  EXPECT_TRUE(cv.wait_for(l, 5s, [&] { return answers == 3; }));
}

}  // namespace
}  // namespace ferrolad::sim
