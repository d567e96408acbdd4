#include <filesystem>
#include <fstream>

#include "EngineTestUtil.h"
#include "HexAsc1.h"

namespace tlxsim {
namespace {

std::string Pattern(size_t n, int seed = 1) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>((i * 31 + size_t(seed) * 7 + i / 251) & 0xFF);
  return s;
}

std::string Le32(int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[size_t(i)] = static_cast<char>((uint32_t(v) >> (8 * i)) & 0xFF);
  return s;
}

// The host's serial block: type|name|HexAsc1(total, remaining, data, xor).
std::string Block(int type, const std::string& name, int total, int remaining,
                  const std::string& data, bool badXor = false) {
  std::string rec = Le32(total) + Le32(remaining) + data;
  unsigned char x = 0;
  for (unsigned char c : rec) x ^= c;
  rec.push_back(static_cast<char>(badXor ? x ^ 0x01 : x));
  return "\x1b[0DOWNLOAD\x02" + std::to_string(type) + "|" + name + "|" + HexAsc1Encode(rec) +
         "\x03";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const std::string kResponseOk(
    "\x1b[0RESPONSE\x02"
    "0\x03");
const std::string kResponseBad(
    "\x1b[0RESPONSE\x02"
    "1\x03");

using Transfer = EngineTest;

TEST_F(Transfer, SerialBlocksAreCheckedAndStored) {
  std::string file = Pattern(1000);
  EXPECT_EQ(Exchange(Block(0, "ad.jpg", 2, 1, file.substr(0, 512))), kAck);
  EXPECT_FALSE(std::filesystem::exists(storage + "/mnt/sdcard/media/ad/ad.jpg"));
  EXPECT_EQ(Exchange(Block(0, "ad.jpg", 2, 0, file.substr(512))), kAck);
  EXPECT_EQ(ReadFile(storage + "/mnt/sdcard/media/ad/ad.jpg"), file);
  EXPECT_EQ(Exchange("\x1b[0GETFILELIST\x02"
                     "0\x03"),
            "\x02"
            "ad.jpg\x03");
  EXPECT_EQ(Exchange("\x1b[0QUERYFILE\x02"
                     "0|ad.jpg\x03"),
            "\x02"
            "ad.jpg|1000\x03");
}

TEST_F(Transfer, SerialBlockWithBadChecksumOrOutOfSequenceIsRefused) {
  EXPECT_EQ(Exchange(Block(1, "v.mp4", 3, 2, Pattern(512), true)), kNak);
  EXPECT_EQ(Exchange(Block(1, "v.mp4", 3, 2, Pattern(512))), kAck);
  EXPECT_EQ(Exchange(Block(1, "v.mp4", 3, 0, Pattern(10))), kNak);   // block 2 skipped
  EXPECT_EQ(Exchange(Block(1, "v.mp4", 3, 1, Pattern(512))), kNak);  // transfer was dropped
  EXPECT_EQ(Exchange(Block(1, "v.mp4", 0, 0, "")), kNak);
  EXPECT_EQ(Exchange(Block(1, "v.mp4", 1, 1, "x")), kNak);  // remaining must be below total
  EXPECT_EQ(Exchange(Block(1, "v.mp4", 1, 0, std::string(513, 'x'))), kNak);
  EXPECT_EQ(Exchange("\x1b[0DOWNLOAD\x02"
                     "1|v.mp4|0102\x03"),
            kNak);
  EXPECT_EQ(Exchange("\x1b[0GETFILELIST\x02"
                     "1\x03"),
            std::string("\x02\x03", 2));
}

TEST_F(Transfer, SerialNamesCannotLeaveTheStorage) {
  EXPECT_EQ(Exchange(Block(0, "../../x", 1, 0, "abc")), kNak);
  EXPECT_EQ(Exchange(Block(255, "/tmp/../../etc/x", 1, 0, "abc")), kNak);
  EXPECT_EQ(Exchange(Block(255, "/tmp/infoviewer.pdf", 1, 0, "abc")), kAck);
  EXPECT_EQ(ReadFile(storage + "/tmp/infoviewer.pdf"), "abc");
}

TEST_F(Transfer, UpgradePackageThenUpdate) {
  const std::string update = "\x1b[0UPDATE\x02/mnt/sdcard/media/data/update.dat\x03";
  EXPECT_EQ(Exchange(update), kNak);
  EXPECT_EQ(Exchange(Block(4, "update.dat", 1, 0, "PKG")), kAck);
  EXPECT_TRUE(impl().HasUpgradePackage());
  EXPECT_EQ(Exchange(update), kAck);
  EXPECT_EQ(Exchange("\x1b[0GETFILELIST\x02"
                     "4\x03"),
            "\x02update.dat\x03");
}

TEST_F(Transfer, DeleteAndQueryUnknownFiles) {
  EXPECT_EQ(Exchange("\x1b[0QUERYFILE\x02"
                     "2|p.jpg\x03"),
            kNak);
  EXPECT_EQ(Exchange("\x1b[0DELETE\x02"
                     "2|p.jpg\x03"),
            kNak);
  ASSERT_TRUE(impl().WriteTerminalFile(impl().MediaPath(2, "p.jpg"), "JPEG"));
  EXPECT_EQ(Exchange("\x1b[0DELETE\x02"
                     "2|p.jpg\x03"),
            kAck);
  EXPECT_FALSE(std::filesystem::exists(storage + "/mnt/sdcard/media/photo/p.jpg"));
}

TEST_F(Transfer, HidPacketsAreReassembled) {
  // Two full packets, an empty one, the end packet: as the host sends 400000 bytes.
  std::string file = Pattern(400000, 3);
  EXPECT_EQ(Exchange("\x1b[0HIDCHANGE", Link::Hid), kAck);
  EXPECT_EQ(Exchange(B("\x02\x01\x00\x00\x00\x00\x00", 7), Link::Hid), kAck);
  EXPECT_EQ(Exchange(MakePacket(2, file.substr(0, 200000)), Link::Hid), kAck);
  EXPECT_EQ(Exchange(MakePacket(2, file.substr(200000)), Link::Hid), kAck);
  EXPECT_EQ(Exchange(MakePacket(2, ""), Link::Hid), kAck);
  EXPECT_EQ(Exchange(MakePacket(3, B("\x01movie.mp4", 10)), Link::Hid), kAck);
  EXPECT_EQ(ReadFile(storage + "/mnt/sdcard/media/video/movie.mp4"), file);
  // History shows each packet once, padding removed.
  auto h = engine.History();
  ASSERT_EQ(h.size(), 6u);
  EXPECT_EQ(h[1].bytes, B("\x02\x01\x00\x00\x00\x00", 6));
  EXPECT_EQ(h[2].bytes.size(), 200006u);
}

TEST_F(Transfer, HidDownloadSurvivesTheHostsCloseBetweenPackets) {
  // The host opens and closes the device around every packet.
  Exchange("\x1b[0HIDCHANGE", Link::Hid);
  engine.LinkClosed(Link::Hid);
  Exchange(MakePacket(1, ""), Link::Hid);
  engine.LinkClosed(Link::Hid);
  Exchange(MakePacket(2, "photo"), Link::Hid);
  engine.LinkClosed(Link::Hid);
  EXPECT_EQ(Exchange(MakePacket(3, B("\x02t.jpg", 6)), Link::Hid), kAck);
  EXPECT_EQ(ReadFile(storage + "/mnt/sdcard/media/photo/t.jpg"), "photo");
}

TEST_F(Transfer, HidPacketWithBadChecksumIsRefused) {
  EXPECT_EQ(Exchange(MakePacket(1, ""), Link::Hid), kNak);  // no HIDCHANGE before
  Exchange("\x1b[0HIDCHANGE", Link::Hid);
  Exchange(MakePacket(1, ""), Link::Hid);
  EXPECT_EQ(Exchange(MakePacket(2, Pattern(5000), true), Link::Hid), kNak);
  EXPECT_EQ(Exchange(MakePacket(3, B("\x02p.jpg", 6)), Link::Hid), kNak);
  EXPECT_FALSE(std::filesystem::exists(storage + "/mnt/sdcard/media/photo/p.jpg"));
}

TEST_F(Transfer, HidUpgradePackageAndNamedFile) {
  for (const auto& end : {B("\x04pkg.bin", 8), B("\xff/tmp/infoviewer.html", 21)}) {
    Exchange("\x1b[0HIDCHANGE", Link::Hid);
    Exchange(MakePacket(1, ""), Link::Hid);
    Exchange(MakePacket(2, "DATA"), Link::Hid);
    EXPECT_EQ(Exchange(MakePacket(3, end), Link::Hid), kAck);
  }
  EXPECT_EQ(ReadFile(storage + "/mnt/sdcard/media/data/update.dat"), "DATA");
  EXPECT_EQ(ReadFile(storage + "/tmp/infoviewer.html"), "DATA");
  // Media type 255 without a name has nowhere to go.
  Exchange("\x1b[0HIDCHANGE", Link::Hid);
  Exchange(MakePacket(1, ""), Link::Hid);
  Exchange(MakePacket(2, "DATA"), Link::Hid);
  EXPECT_EQ(Exchange(MakePacket(3, B("\xff", 1)), Link::Hid), kNak);
}

TEST_F(Transfer, PullSendsPacketsOneResponseAtATime) {
  std::string file = Pattern(6000, 9);
  ASSERT_TRUE(impl().WriteTerminalFile("/tmp/hw.png", file));
  SendHid("\x1b[0PULLFILE\x02/tmp/hw.png\x03");
  auto c = Chunks(0, Link::Hid);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].bytes, MakePacket(1, ""));
  EXPECT_TRUE(Chunks(10000, Link::Hid).empty());  // waits for the host
  SendHid(kResponseOk);
  c = Chunks(0, Link::Hid);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].bytes, MakePacket(2, file.substr(0, 3000)));  // spans three reports
  SendHid(kResponseOk);
  c = Chunks(0, Link::Hid);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].bytes, MakePacket(2, file.substr(3000)));
  SendHid(kResponseOk);
  c = Chunks(0, Link::Hid);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].bytes, MakePacket(3, ""));
  SendHid(kResponseOk);
  EXPECT_TRUE(Chunks(10000, Link::Hid).empty());
}

TEST_F(Transfer, PullPacketSizeIsConfigurableAndRefusalStopsIt) {
  ASSERT_TRUE(impl().WriteTerminalFile("/tmp/hw.xml", Pattern(5000)));
  impl().state.pullPacketSize = 2000;
  SendHid("\x1b[0PULLFILE\x02/tmp/hw.xml\x03");
  Chunks(0, Link::Hid);
  SendHid(kResponseOk);
  auto c = Chunks(0, Link::Hid);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].bytes.size(), 2006u);
  SendHid(kResponseBad);
  SendHid(kResponseOk);  // no pull running any more
  EXPECT_TRUE(Chunks(10000, Link::Hid).empty());
}

TEST_F(Transfer, PullOfUnknownFileIsRefused) {
  EXPECT_EQ(Exchange("\x1b[0PULLFILE\x02/tmp/none.png\x03", Link::Hid), kNak);
  EXPECT_EQ(Exchange("\x1b[0PULLFILE\x02/tmp/../../etc/passwd\x03", Link::Hid), kNak);
}

TEST_F(Transfer, ClosingTheLinkAbandonsThePull) {
  ASSERT_TRUE(impl().WriteTerminalFile("/tmp/hw.png", Pattern(100)));
  SendHid("\x1b[0PULLFILE\x02/tmp/hw.png\x03");
  engine.LinkClosed(Link::Hid);
  EXPECT_TRUE(Chunks(0, Link::Hid).empty());
  SendHid(kResponseOk);
  EXPECT_TRUE(Chunks(0, Link::Hid).empty());
}

}  // namespace
}  // namespace tlxsim
