#include "EngineTestUtil.h"
#include "HexAsc1.h"

namespace tlxsim {
namespace {

using Faults = EngineTest;

Fault F(FaultKind k, int times = -1, int lateMs = 0) {
  Fault f;
  f.kind = k;
  f.times = times;
  f.lateMs = lateMs;
  return f;
}

TEST_F(Faults, SilenceHitsOnlyAsOftenAsAsked) {
  engine.SetFault("CHECKR40", F(FaultKind::Silence, 2));
  EXPECT_EQ(Exchange("\x1b[0CHECKR40", Link::Serial, 60000), "");
  EXPECT_EQ(Exchange("\x1b[0CHECKR40", Link::Serial, 60000), "");
  EXPECT_EQ(Exchange("\x1b[0CHECKR40"), kAck);
}

TEST_F(Faults, RefuseGarbageTruncateExtra) {
  engine.SetFault("SETVOLUME", F(FaultKind::Refuse));
  EXPECT_EQ(Exchange("\x1b[0SETVOLUME\x02"
                     "1|1\x03"),
            kNak);
  engine.SetFault("GETDEVICEINFO", F(FaultKind::Garbage, 1));
  std::string g = Exchange("\x1b[0GETDEVICEINFO");
  ASSERT_FALSE(g.empty());
  EXPECT_NE(g.front(), '\x02');
  EXPECT_EQ(g.back(), '\x03');  // the host's read ends, its check fails
  engine.SetFault("GETDEVICEINFO", F(FaultKind::Truncate, 1));
  std::string full = "\x02" + impl().state.versionJson + "\x03";
  EXPECT_EQ(Exchange("\x1b[0GETDEVICEINFO"), full.substr(0, full.size() - 1));
  engine.SetFault("M", F(FaultKind::ExtraBytes));
  EXPECT_EQ(Exchange("\x1bM" + HexAsc1Encode(B("\x00", 1) + std::string(16, 'k')) + "\r\n"),
            B("\xaa\x55\xaa", 3));
}

TEST_F(Faults, LateReplyComesAfterItsDelay) {
  engine.SetFault("RESTART", F(FaultKind::Late, 1, 2500));
  Send("\x1b[0RESTART");
  EXPECT_EQ(NextDueMs(), 2500);
  EXPECT_EQ(Out(2499), "");
  EXPECT_EQ(Out(2500), kAck);
}

TEST_F(Faults, InteractionRefusalEndsWithF) {
  engine.SetFault("2A", F(FaultKind::Refuse, 1));
  Customer c;
  c.info.delayMs = 10;
  engine.SetCustomer(c);
  EXPECT_EQ(Exchange("\x1b[2A\x02"
                     "41\x03",
                     Link::Serial, 100),
            "BUF");
}

TEST_F(Faults, DeviceVanishesAtADataPacket) {
  engine.SetFault("PACKET", F(FaultKind::Vanish, 1));
  EXPECT_EQ(Exchange("\x1b[0HIDCHANGE", Link::Hid), kAck);
  EXPECT_EQ(Exchange(MakePacket(1, ""), Link::Hid), kAck);
  auto c = (SendHid(MakePacket(2, "abc")), Chunks(0, Link::Hid));
  ASSERT_EQ(c.size(), 1u);
  EXPECT_TRUE(c[0].hangup);
  // The transfer is gone with the device.
  EXPECT_EQ(Exchange(MakePacket(3, B("\x00x.jpg", 6)), Link::Hid), kNak);
}

TEST_F(Faults, SerialLineHangsUpMidDownload) {
  engine.SetFault("DOWNLOAD", F(FaultKind::Hangup, 1));
  auto block = [](int remaining) {
    std::string rec = std::string("\x02\x00\x00\x00", 4) + std::string(1, char(remaining)) +
                      std::string(3, '\0') + "data";
    unsigned char x = 0;
    for (unsigned char ch : rec) x ^= ch;
    rec.push_back(char(x));
    return "\x1b[0DOWNLOAD\x02"
           "0|a.jpg|" +
           HexAsc1Encode(rec) + "\x03";
  };
  EXPECT_EQ(Exchange(block(1)), kAck);
  EXPECT_EQ(Exchange(block(0)), "<HANGUP>");
}

class PullFaults : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    file.assign(6000, 'p');
    ASSERT_TRUE(impl().WriteTerminalFile("/tmp/hw.png", file));
  }
  std::vector<Chunk> Step(const std::string& bytes) {
    SendHid(bytes);
    return Chunks(0, Link::Hid);
  }
  std::string file;
  const std::string pull = "\x1b[0PULLFILE\x02/tmp/hw.png\x03";
  const std::string ok =
      "\x1b[0RESPONSE\x02"
      "0\x03";
};

TEST_F(PullFaults, BadChecksumOnTheFirstDataPacket) {
  engine.SetFault("PULLFILE", F(FaultKind::BadPullChecksum, 1));
  Step(pull);
  auto c = Step(ok);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].bytes, MakePacket(2, file.substr(0, 3000), true));
  EXPECT_NE(c[0].bytes, MakePacket(2, file.substr(0, 3000), false));
}

TEST_F(PullFaults, VanishInTheMiddleOfAPacket) {
  engine.SetFault("PULLFILE", F(FaultKind::Vanish, 1));
  Step(pull);
  auto c = Step(ok);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].bytes, MakePacket(2, file.substr(0, 3000)).substr(0, 1024));
  EXPECT_TRUE(c[1].hangup);
  EXPECT_TRUE(Step(ok).empty());
}

// With `at`, the device goes away instead of the n-th packet of the pull
// (1 = the start packet): here the second data packet.
TEST_F(PullFaults, VanishAtTheNthPacket) {
  Fault f = F(FaultKind::Vanish, 1);
  f.at = 3;
  engine.SetFault("PULLFILE", f);
  auto c = Step(pull);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].bytes, MakePacket(1, ""));
  c = Step(ok);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].bytes, MakePacket(2, file.substr(0, 3000)));
  c = Step(ok);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_TRUE(c[0].hangup);
  EXPECT_TRUE(Step(ok).empty());
}

TEST_F(PullFaults, TruncatedPacketAndSilence) {
  engine.SetFault("PULLFILE", F(FaultKind::Truncate, 1));
  Step(pull);
  auto c = Step(ok);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_LT(c[0].bytes.size(), 3006u);
  EXPECT_EQ(c[0].bytes.substr(0, 6), MakePacket(2, file.substr(0, 3000)).substr(0, 6));
  engine.SetFault("PULLFILE", F(FaultKind::Silence, 1));
  EXPECT_TRUE(Step(pull).empty());
  EXPECT_TRUE(Step(ok).empty());
}

// Faults placed with `at` hit exactly the n-th matching command, also the
// first block of a download (which the usual rule spares).
TEST_F(Faults, FaultAtTheNthCommand) {
  Fault f = F(FaultKind::Silence, 1);
  f.at = 3;
  engine.SetFault("CHECKR40", f);
  EXPECT_EQ(Exchange("\x1b[0CHECKR40"), kAck);
  EXPECT_EQ(Exchange("\x1b[0CHECKR40"), kAck);
  EXPECT_EQ(Exchange("\x1b[0CHECKR40", Link::Serial, 60000), "");
  EXPECT_EQ(Exchange("\x1b[0CHECKR40"), kAck);

  Fault start = F(FaultKind::Vanish, 1);
  start.at = 1;
  engine.SetFault("PACKET", start);
  EXPECT_EQ(Exchange("\x1b[0HIDCHANGE", Link::Hid), kAck);
  auto c = (SendHid(MakePacket(1, "")), Chunks(0, Link::Hid));
  ASSERT_EQ(c.size(), 1u);
  EXPECT_TRUE(c[0].hangup);
}

TEST_F(Faults, TrickledAnswerComesTwoBytesAtATime) {
  engine.SetFault("RESTART", F(FaultKind::Trickle, 1, 40));
  Send("\x1b[0RESTART");
  EXPECT_EQ(Out(0), "\x02\xaa");
  EXPECT_EQ(Out(39), "");
  EXPECT_EQ(Out(40), "\x03");
}

TEST_F(Faults, TerminalChannelFiltersCommands) {
  impl().state.terminalChannel = 'B';
  EXPECT_EQ(Exchange("\x1b[0CHECKR40"), "");  // 'A' selected after power-on
  EXPECT_EQ(Exchange("\x1b%B\x1b[0CHECKR40\x1b%A"), kAck);
  EXPECT_EQ(Exchange("\x1b%C\x1b[0CHECKR40"), "");
  EXPECT_EQ(Exchange("\x1b[0CHECKR40", Link::Hid), kAck);  // no channels on HID
  auto h = engine.History();
  ASSERT_EQ(h.size(), 7u);
  EXPECT_FALSE(h[0].heard);
  EXPECT_EQ(h[0].channel, 'A');
  EXPECT_EQ(h[1].bytes, "\x1b%B");
  EXPECT_TRUE(h[2].heard);
  EXPECT_EQ(h[2].channel, 'B');
  EXPECT_EQ(h[3].channel, 'A');
  EXPECT_FALSE(h[5].heard);
  EXPECT_EQ(h[5].channel, 'C');
  EXPECT_EQ(h[6].link, Link::Hid);
  EXPECT_EQ(impl().state.selectedChannel, 'C');
}

TEST_F(Faults, HistoryAndLogHaveOneEntryPerCommandAndAnswer) {
  SendHid("\x1b[0CHECKR40");
  SendHid(
      "\x1b[0SETVOLUME\x02"
      "2|3\x03");
  Out(0, Link::Hid);
  auto h = engine.History();
  ASSERT_EQ(h.size(), 2u);
  EXPECT_EQ(h[0].bytes, "\x1b[0CHECKR40");
  EXPECT_EQ(h[1].bytes,
            "\x1b[0SETVOLUME\x02"
            "2|3\x03");
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0], "hid recv <ESC>[0CHECKR40");
  EXPECT_EQ(log[2], "hid send <STX>\\xAA<ETX>");
  engine.ClearHistory();
  EXPECT_TRUE(engine.History().empty());
}

TEST_F(Faults, ClosingTheLinkDropsPendingAnswers) {
  Send("\x1b[4R");
  engine.LinkClosed(Link::Serial);
  EXPECT_EQ(Out(60000), "");
  Send("\x1b[4R", Link::Hid);
  engine.LinkClosed(Link::Hid);
  EXPECT_EQ(Out(60000, Link::Hid), "");
}

TEST_F(Faults, LateSerialCloseNoticeSparesTheNextSession) {
  Customer c;
  c.evaluator = Answer{true, 1500, "B1F"};
  engine.SetCustomer(c);
  // Session 1 times out waiting and ends with the channel reset; session 2
  // starts the evaluation before the engine hears of the first close.
  Send("\x1b[4R\x1b%A");
  Send("\x1b[4;10T\x1b[4R", Link::Serial, 100);
  engine.LinkClosed(Link::Serial);
  auto out = Chunks(5000);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].bytes, "B1F");
  // Its own close (after its reset) drops its answer as usual.
  Send("\x1b[4R\x1b%A", Link::Serial, 6000);
  engine.LinkClosed(Link::Serial);
  EXPECT_EQ(Out(60000), "");
}

}  // namespace
}  // namespace tlxsim
