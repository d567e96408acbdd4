#include <atomic>
#include <thread>

#include "EngineTestUtil.h"

namespace tlxsim {
namespace {

using Threads = EngineTest;

// Callbacks run outside the engine's lock: a notification may poll, a log
// line may read the history, without deadlock.
TEST_F(Threads, CallbacksMayCallBackIntoTheEngine) {
  std::vector<Chunk> polled;
  size_t historySeen = 0;
  engine.SetNotify([&] {
    auto c = engine.Poll(Link::Serial, Clock::now() + std::chrono::hours(1), nullptr);
    polled.insert(polled.end(), c.begin(), c.end());
  });
  engine.SetLogger([&](const std::string&) { historySeen = engine.History().size(); });
  engine.Receive(Link::Serial, "\x1b[0RESTART", 10);
  ASSERT_EQ(polled.size(), 1u);
  EXPECT_EQ(polled[0].bytes, kAck);
  EXPECT_EQ(historySeen, 1u);
}

// Both links feed the engine from their own threads at once; every command
// is parsed whole and answered on its own link.
TEST_F(Threads, SerialAndHidAtTheSameTime) {
  const int kRounds = 400;
  std::atomic<int> serialAcks{0}, hidAcks{0};
  auto run = [&](Link link, std::atomic<int>* acks) {
    std::string cmd = link == Link::Hid ? std::string("\x1b[0CHECKR40") + std::string(1013, '\0')
                                        : std::string(
                                              "\x1b[0SETVOLUME\x02"
                                              "2|7\x03");
    for (int i = 0; i < kRounds; ++i) {
      // Split each command in two writes to interleave with the other link.
      engine.Receive(link, cmd.data(), 5);
      engine.Receive(link, cmd.data() + 5, cmd.size() - 5);
      for (const Chunk& c : engine.Poll(link, Clock::now() + std::chrono::hours(1), nullptr))
        if (c.bytes == kAck) ++*acks;
    }
  };
  std::thread a(run, Link::Serial, &serialAcks);
  std::thread b(run, Link::Hid, &hidAcks);
  a.join();
  b.join();
  EXPECT_EQ(serialAcks.load(), kRounds);
  EXPECT_EQ(hidAcks.load(), kRounds);
  auto h = engine.History();
  ASSERT_EQ(h.size(), size_t(2 * kRounds));
  for (const Received& r : h)
    EXPECT_EQ(r.bytes, r.link == Link::Hid ? std::string("\x1b[0CHECKR40")
                                           : std::string("\x1b[0SETVOLUME\x02"
                                                         "2|7\x03"));
  EXPECT_EQ(impl().state.volumeKeyTone, 7);
}

}  // namespace
}  // namespace tlxsim
