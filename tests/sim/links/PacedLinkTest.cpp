// The line that keeps the real line's pace: the queue that times the bytes,
// and both links with pacing on. Only lower bounds of time are checked (a
// busy machine makes things slower, never faster); how close the links
// come to the line time is a figure of the benchmark.
#include <gtest/gtest.h>
#include <libusb.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <random>

#include "EngineState.h"
#include "LinkTestSupport.h"
#include "PacedLine.h"
#include "SimTest.h"
#include "compat/transfer.h"

using namespace linktest;
using tlxsim::Clock;
using tlxsim::PacedLine;

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

TEST(PacedLineTest, BytesComeOffOneAfterAnotherNeverEarly) {
  PacedLine line;
  const Clock::time_point t0 = Clock::now();
  line.Push("abcd", t0, microseconds(100));
  PacedLine::Due d;
  EXPECT_FALSE(line.TakeDue(t0 + microseconds(99), &d));
  ASSERT_TRUE(line.TakeDue(t0 + microseconds(250), &d));
  EXPECT_EQ(d.bytes, "ab");
  EXPECT_EQ(d.at, t0 + microseconds(200));
  EXPECT_FALSE(line.TakeDue(t0 + microseconds(299), &d));
  ASSERT_TRUE(line.TakeDue(t0 + milliseconds(5), &d));
  EXPECT_EQ(d.bytes, "cd");
  EXPECT_EQ(d.at, t0 + microseconds(400));
  EXPECT_TRUE(line.Empty());
}

TEST(PacedLineTest, ARunWaitsForTheLineAndAMarkForTheBytesBeforeIt) {
  PacedLine line;
  const Clock::time_point t0 = Clock::now();
  line.Push("xy", t0, microseconds(100));
  line.PushMark(t0);                                        // comes after "xy"
  line.Push("z", t0 + microseconds(50), microseconds(10));  // line busy until 200 us
  EXPECT_EQ(line.FreeAt(), t0 + microseconds(210));
  EXPECT_EQ(line.Queued(), 3u);
  PacedLine::Due d;
  ASSERT_TRUE(line.TakeDue(t0 + milliseconds(1), &d));
  EXPECT_EQ(d.bytes, "xy");
  ASSERT_TRUE(line.TakeDue(t0 + milliseconds(1), &d));
  EXPECT_TRUE(d.mark);
  EXPECT_EQ(d.at, t0 + microseconds(200));
  ASSERT_TRUE(line.TakeDue(t0 + milliseconds(1), &d));
  EXPECT_EQ(d.bytes, "z");
  EXPECT_EQ(d.at, t0 + microseconds(210));
  // A line that was idle starts the next run when it is queued.
  line.Push("w", t0 + milliseconds(9), microseconds(10));
  EXPECT_FALSE(line.TakeDue(t0 + milliseconds(9), &d));
  EXPECT_TRUE(line.TakeDue(t0 + milliseconds(9) + microseconds(10), &d));
}

TEST(PacedLineTest, NextLookIsTheRunsEndOrEveryMillisecond) {
  PacedLine line;
  const Clock::time_point t0 = Clock::now();
  EXPECT_EQ(line.NextDue(t0), Clock::time_point::max());
  line.Push(std::string(100, 'a'), t0, microseconds(100));  // 10 ms
  EXPECT_EQ(line.NextDue(t0), t0 + milliseconds(1));
  PacedLine::Due d;
  ASSERT_TRUE(line.TakeDue(t0 + microseconds(9950), &d));
  EXPECT_EQ(d.bytes.size(), 99u);
  EXPECT_EQ(line.NextDue(t0 + microseconds(9950)), t0 + milliseconds(10));
  line.Clear();
  EXPECT_TRUE(line.Empty());
  EXPECT_EQ(line.Queued(), 0u);
  EXPECT_EQ(tlxsim::ByteTime(115200), std::chrono::nanoseconds(86805));
  EXPECT_EQ(tlxsim::ByteTime(9600), std::chrono::nanoseconds(1041666));
}

class PacedLinkTest : public tlxsim::SimTest {
 protected:
  PacedLinkTest() { options_.pace = true; }

  std::string Stored(const char* name) { return StoredFile(engine(), name); }
  static double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }
};

TEST_F(PacedLinkTest, SerialExchangeTakesItsLineTimeAtTheHostsRate) {
  // 16 command bytes out, the version answer back (STX, JSON, ETX), 10 bit
  // times each, at the rate the host set.
  std::string version;
  {
    tlxsim::EngineImpl& impl = engine().Impl();
    std::lock_guard<std::mutex> lock(impl.mu);
    version = impl.state.versionJson;
  }
  const double lineMs = (16 + version.size() + 2) * 10 * 1000.0 / 1200;
  const Clock::time_point start = Clock::now();
  char reply[4096] = {0};
  int len = sizeof reply;
  char cmd[] = "\x1b[0GETDEVICEINFO";
  ASSERT_EQ(0, TransProc(SerialPort(), 0, 1200, cmd, reply, &len, EndOfCondition1, 5000));
  EXPECT_GE(Since(start), lineMs);
  EXPECT_EQ(std::string(reply, static_cast<size_t>(len)), "\x02" + version + "\x03");
}

TEST_F(PacedLinkTest, SerialDownloadArrivesWholeAndInOrder) {
  // Two block commands: 12 + 3 + 1 + 9 + 1 + 2 * (8 + n + 1) + 1 bytes for n
  // data bytes (512, then 488), each acknowledged with 3 bytes.
  const std::string data = RandomBytes(1000);
  std::string copy = data;
  char name[] = "paced.bin";
  const Clock::time_point start = Clock::now();
  ASSERT_EQ(0, DownLoadData(SerialPort(), 0, 115200, 255, copy.data(),
                            static_cast<int>(copy.size()), name));
  EXPECT_GE(Since(start), (1069 + 1021 + 2 * 3) * 10 * 1000.0 / 115200);
  EXPECT_EQ(Stored("paced.bin"), data);
}

TEST_F(PacedLinkTest, EveryUsbTransferTakesAFrameAndTheyStayInOrder) {
  ASSERT_EQ(0, libusb_init(nullptr));
  libusb_device** list = nullptr;
  libusb_device_handle* h = nullptr;
  ASSERT_EQ(1, libusb_get_device_list(nullptr, &list));
  ASSERT_EQ(0, libusb_open(list[0], &h));
  ASSERT_EQ(0, libusb_detach_kernel_driver(h, 0));
  ASSERT_EQ(0, libusb_claim_interface(h, 0));
  const char* cmds[] = {"\x1b[0CHECKR40", "\x1b[0GETDEVICEINFO", "\x1b[0GETUPDATESTATUS"};
  const Clock::time_point start = Clock::now();
  for (int round = 0; round < 10; ++round)
    for (const char* c : cmds) {
      unsigned char report[1024] = {};
      std::memcpy(report, c, std::strlen(c));
      int done = 0;
      ASSERT_EQ(0, libusb_bulk_transfer(h, 0x02, report, sizeof report, &done, 1000));
      EXPECT_EQ(done, 1024);
    }
  // 30 OUT transfers, each ends at the end of a frame of its own (the first
  // one at the end of the frame it was given in).
  EXPECT_GE(Since(start), 29.0);
  // The answers come one report each, in the order asked.
  std::string got;
  for (int i = 0; i < 30; ++i) {
    unsigned char report[1024] = {};
    int done = 0;
    ASSERT_EQ(0, libusb_bulk_transfer(h, 0x81, report, sizeof report, &done, 1000));
    got += static_cast<char>(report[1]);  // \xaa, '{', '{'
  }
  EXPECT_GE(Since(start), 59.0);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(got[i], i % 3 == 0 ? '\xaa' : '{') << i;
  libusb_close(h);
  libusb_free_device_list(list, 1);
  EXPECT_EQ(History().size(), 30u);
}

TEST_F(PacedLinkTest, HidDownloadTakesItsFrames) {
  // HIDCHANGE, start and end packet: an OUT and an IN transfer each; the
  // data packet of 200000 bytes: 196 reports and the acknowledgement. Each
  // ends in a frame of its own; the first may end within a millisecond.
  const std::string data = RandomBytes(200000);
  std::string copy = data;
  char name[] = "paced-hid.bin";
  const Clock::time_point start = Clock::now();
  ASSERT_EQ(0,
            DownLoadData(kHidPort, 0, 9600, 255, copy.data(), static_cast<int>(copy.size()), name));
  EXPECT_GE(Since(start), 3 * 2 + 196 + 1 - 1.0);
  EXPECT_EQ(Stored("paced-hid.bin"), data);
}

}  // namespace
