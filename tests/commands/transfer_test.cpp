// File transfers end to end: serial blocks, HID packets, memory downloads
// and the pull.
#include <dirent.h>
#include <sys/stat.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "CommandTest.h"
#include "compat/transfer.h"
#include "compat/transfer_steps.h"

namespace tlxtest {
namespace {

int Le32(const std::string& s, size_t at) {
  unsigned v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return static_cast<int>(v);
}

std::string FromHexAsc1(const std::string& t) {
  std::string out;
  for (size_t i = 0; i + 1 < t.size(); i += 2)
    out += static_cast<char>(((t[i] - 0x30) << 4) | (t[i + 1] - 0x30));
  return out;
}

// A DOWNLOAD command split into its fields; record decoded.
struct Block {
  int mediaType = -1;
  std::string name;
  std::string record;
};

Block ParseBlock(const std::string& cmd) {
  Block b;
  const std::string head = B("\x1b[0DOWNLOAD\x02");
  if (cmd.compare(0, head.size(), head) != 0 || cmd.back() != '\x03') return b;
  std::string fields = cmd.substr(head.size(), cmd.size() - head.size() - 1);
  size_t p1 = fields.find('|'), p2 = fields.rfind('|');
  b.mediaType = std::stoi(fields.substr(0, p1));
  b.name = fields.substr(p1 + 1, p2 - p1 - 1);
  b.record = FromHexAsc1(fields.substr(p2 + 1));
  return b;
}

std::vector<Block> Blocks(const std::vector<std::string>& sent) {
  std::vector<Block> out;
  for (const auto& s : sent)
    if (s.rfind(B("\x1b[0DOWNLOAD"), 0) == 0) out.push_back(ParseBlock(s));
  return out;
}

class SerialTransfer : public CommandTest {
 protected:
  int Download(size_t size, const char* dest = "blob.bin") {
    std::string path = Scratch("src.bin");
    WriteFile(path, Pattern(size));
    return DownLoadFile(SerialPort(), 0, 9600, 255, &path[0], const_cast<char*>(dest));
  }
};

TEST_F(SerialTransfer, ThousandBytesAsTwoBlocks) {
  ASSERT_EQ(0, Download(1000));
  std::vector<Block> blocks = Blocks(Sent());
  ASSERT_EQ(2u, blocks.size());
  EXPECT_EQ(255, blocks[0].mediaType);
  EXPECT_EQ("blob.bin", blocks[0].name);
  ASSERT_EQ(512u + 9, blocks[0].record.size());
  EXPECT_EQ(2, Le32(blocks[0].record, 0));
  EXPECT_EQ(1, Le32(blocks[0].record, 4));
  ASSERT_EQ(488u + 9, blocks[1].record.size());
  EXPECT_EQ(2, Le32(blocks[1].record, 0));
  EXPECT_EQ(0, Le32(blocks[1].record, 4));
  for (const Block& b : blocks) {
    unsigned char x = 0;
    for (size_t i = 0; i + 1 < b.record.size(); ++i) x ^= static_cast<unsigned char>(b.record[i]);
    EXPECT_EQ(x, static_cast<unsigned char>(b.record.back()));
  }
  EXPECT_EQ(Pattern(1000), blocks[0].record.substr(8, 512) + blocks[1].record.substr(8, 488));
  std::string stored;
  ASSERT_TRUE(impl().ReadTerminalFile(impl().MediaPath(255, "blob.bin"), &stored));
  EXPECT_EQ(Pattern(1000), stored);
}

TEST_F(SerialTransfer, EmptyFileSendsNoBlock) {
  ASSERT_EQ(0, Download(0));
  EXPECT_TRUE(Blocks(Sent()).empty());
}

TEST_F(SerialTransfer, MegabyteArrivesIntact) {
  ASSERT_EQ(0, Download(1000000));
  EXPECT_EQ(1954u, Blocks(Sent()).size());
  std::string stored;
  ASSERT_TRUE(impl().ReadTerminalFile(impl().MediaPath(255, "blob.bin"), &stored));
  EXPECT_EQ(Pattern(1000000), stored);
}

TEST_F(SerialTransfer, RefusedBlockStopsTransfer) {
  SetFault("DOWNLOAD", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, Download(2000));
  EXPECT_EQ(1u, Blocks(Sent()).size());
  SetFault("DOWNLOAD", Fault{FaultKind::Silence, 0, 1});
  EXPECT_EQ(-5, Download(2000));
  EXPECT_EQ(1u + 1u, Blocks(Sent()).size());
}

TEST_F(SerialTransfer, LineHangsUpMidTransfer) {
  SetFault("DOWNLOAD", Fault{FaultKind::Hangup, 0, 1});
  int rc = Download(5000);
  EXPECT_TRUE(rc == -4 || rc == -5) << rc;
  size_t blocks = Blocks(Sent()).size();
  EXPECT_GE(blocks, 2u);
  EXPECT_LT(blocks, 10u);
  std::string stored;
  EXPECT_FALSE(impl().ReadTerminalFile(impl().MediaPath(255, "blob.bin"), &stored));
}

TEST_F(SerialTransfer, NamesAndMemoryBlocks) {
  std::string path = Scratch("dir.x/photo.jpg");
  std::string dir = Scratch("dir.x");
  ASSERT_EQ(0, system(("mkdir -p '" + dir + "'").c_str()));
  WriteFile(path, "abc");
  ASSERT_EQ(0, DownLoadFile(SerialPort(), 0, 9600, 255, &path[0], nullptr));
  EXPECT_EQ("photo.jpg", Blocks(Sent()).back().name);
  ASSERT_EQ(0, DownLoadFile(SerialPort(), 0, 9600, 4, &path[0], nullptr));
  EXPECT_EQ("update.dat", Blocks(Sent()).back().name);

  std::string tooLong(TLX_MAX_DEST_NAME + 1, 'n');
  ClearHistory();
  EXPECT_EQ(-1, DownLoadFile(SerialPort(), 0, 9600, 255, &path[0], &tooLong[0]));
  EXPECT_TRUE(Settled().empty());

  std::string data =
      B("\x00"
        "abc");
  char dest[] = "mem.bin";
  EXPECT_EQ(-1, DownLoadData(SerialPort(), 0, 9600, 255, &data[0], 4, dest));
  EXPECT_TRUE(Settled().empty());
  std::string mem = Pattern(700, 1);
  mem[0] = 'M';
  ASSERT_EQ(0, DownLoadData(SerialPort(), 0, 9600, 255, &mem[0], 700, dest));
  std::string stored;
  ASSERT_TRUE(impl().ReadTerminalFile(impl().MediaPath(255, "mem.bin"), &stored));
  EXPECT_EQ(mem, stored);
}

class HidTransfer : public CommandTest {};

TEST_F(HidTransfer, FourHundredThousandBytes) {
  std::string path = Scratch("big.bin");
  WriteFile(path, Pattern(400000));
  ASSERT_EQ(0, DownLoadFile(kHidPort, 0, 9600, 2, &path[0], nullptr));
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(6u, sent.size());
  EXPECT_EQ(B("\x1b[0HIDCHANGE"), sent[0]);
  EXPECT_EQ(B("\x02\x01\x00\x00\x00\x00"), sent[1].substr(0, 6));
  for (int i = 2; i <= 3; ++i) {
    ASSERT_EQ(6u + 200000u, sent[i].size());
    EXPECT_EQ(2, sent[i][1]);
    EXPECT_EQ(B("\x03\x0d\x40"), sent[i].substr(3, 3));  // 200000
    unsigned char x = 0;
    for (size_t k = 6; k < sent[i].size(); ++k) x ^= static_cast<unsigned char>(sent[i][k]);
    EXPECT_EQ(x, static_cast<unsigned char>(sent[i][2]));
  }
  EXPECT_EQ(B("\x02\x02\x00\x00\x00\x00"), sent[4]);  // empty trailing packet
  // End packet: type 2, name "big.bin".
  std::string payload = B("\x02") + "big.bin";
  unsigned char x = 0;
  for (unsigned char c : payload) x ^= c;
  EXPECT_EQ(B("\x02\x03") + std::string(1, static_cast<char>(x)) + B("\x00\x00\x08") + payload,
            sent[5]);
  std::string stored;
  ASSERT_TRUE(impl().ReadTerminalFile(impl().MediaPath(2, "big.bin"), &stored));
  EXPECT_EQ(Pattern(400000), stored);
}

TEST_F(HidTransfer, EndPacketBytesAndDefaultName) {
  std::string path = Scratch("a.jpg");
  WriteFile(path, "jpeg");
  ASSERT_EQ(0, DownLoadFile(kHidPort, 0, 9600, 2, &path[0], nullptr));
  EXPECT_EQ(B("\x00\x00\x06\x02"
              "a.jpg"),
            Sent().back().substr(3));
  // Named file without a name: the source's base name.
  ASSERT_EQ(0, DownLoadFile(kHidPort, 0, 9600, 255, &path[0], nullptr));
  EXPECT_EQ(B("\x00\x00\x06\xff"
              "a.jpg"),
            Sent().back().substr(3));
  // An empty name counts as none.
  char empty[] = "";
  ClearHistory();
  ASSERT_EQ(0, DownLoadFile(kHidPort, 0, 9600, 255, &path[0], empty));
  EXPECT_EQ(B("\x00\x00\x06\xff"
              "a.jpg"),
            Sent().back().substr(3));
  ClearHistory();
  std::string tooLong(TLX_MAX_DEST_NAME + 1, 'n');
  EXPECT_EQ(-1, DownLoadFile(kHidPort, 0, 9600, 255, &path[0], &tooLong[0]));
  EXPECT_TRUE(Settled().empty());
  std::string longest(TLX_MAX_DEST_NAME, 'n');
  ASSERT_EQ(0, DownLoadFile(kHidPort, 0, 9600, 255, &path[0], &longest[0]));
  EXPECT_EQ(6u + 1 + TLX_MAX_DEST_NAME, Sent().back().size());
}

TEST_F(HidTransfer, RefusedPacketStopsTransfer) {
  std::string path = Scratch("r.bin");
  WriteFile(path, Pattern(450000));
  // The first data packet, after the switch and the start were accepted.
  SetFault("PACKET2", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, DownLoadFile(kHidPort, 0, 9600, 1, &path[0], nullptr));
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(3u, sent.size());
  EXPECT_EQ(2, sent[2][1]);
  std::string stored;
  EXPECT_FALSE(impl().ReadTerminalFile(impl().MediaPath(1, "r.bin"), &stored));
  // Refused end packet: the name is not taken.
  SetFault("PACKET3", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, DownLoadFile(kHidPort, 0, 9600, 1, &path[0], nullptr));
}

TEST_F(HidTransfer, DeviceVanishesMidTransfer) {
  std::string path = Scratch("v.bin");
  WriteFile(path, Pattern(450000));
  SetFault("PACKET", Fault{FaultKind::Vanish, 0, 1});
  int rc = DownLoadFile(kHidPort, 0, 9600, 1, &path[0], nullptr);
  EXPECT_TRUE(rc == -2 || rc == -3 || rc == -4) << rc;
  std::string stored;
  EXPECT_FALSE(impl().ReadTerminalFile(impl().MediaPath(1, "v.bin"), &stored));
}

TEST_F(HidTransfer, MemoryBlockStartingWithZero) {
  std::string mem = Pattern(250000, 5);
  mem[0] = '\0';
  char dest[] = "m.bin";
  ASSERT_EQ(0, DownLoadData(kHidPort, 0, 9600, 255, &mem[0], static_cast<int>(mem.size()), dest));
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(5u, sent.size());  // switch, start, 200000, 50000, end
  EXPECT_EQ(6u + 50000u, sent[3].size());
  std::string stored;
  ASSERT_TRUE(impl().ReadTerminalFile(impl().MediaPath(255, "m.bin"), &stored));
  EXPECT_EQ(mem, stored);
}

TEST_F(HidTransfer, PullWritesFileAndSecondPullIsRefused) {
  const std::string content = Pattern(6000, 9);
  ASSERT_TRUE(impl().WriteTerminalFile("/tmp/hw.png", content));
  std::string local = Scratch("pulled.png");
  std::string cmd = B("\x1b[0PULLFILE\x02/tmp/hw.png\x03");
  SetFault("PULLFILE", Fault{FaultKind::Late, 800, 1});
  std::atomic<int> first{1};
  std::thread puller([&] {
    first = PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0], &local[0]);
  });
  for (int i = 0; i < 200 && !WasSent(cmd); ++i) {
  }
  std::string other = Scratch("other.png");
  EXPECT_EQ(-3, PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0], &other[0]));
  puller.join();
  ASSERT_EQ(0, first.load());
  EXPECT_EQ(content, ReadFile(local));
  EXPECT_FALSE(FileExists(other));
  int accepted = 0;
  for (const auto& s : Sent())
    accepted += s == B("\x1b[0RESPONSE\x02"
                       "0\x03");
  EXPECT_EQ(4, accepted);  // start, two data packets of 3000 bytes, end
  // A pull after a completed one starts from a clean receiver.
  ASSERT_EQ(0, PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0], &other[0]));
  EXPECT_EQ(content, ReadFile(other));
}

TEST_F(HidTransfer, PullWithoutAnswerOrWithBadChecksum) {
  ASSERT_TRUE(impl().WriteTerminalFile("/tmp/hw.xml", Pattern(4000)));
  std::string local = Scratch("d.xml");
  std::string cmd = B("\x1b[0PULLFILE\x02/tmp/hw.xml\x03");
  SetFault("PULLFILE", Fault{FaultKind::Silence, 0, 1});
  EXPECT_EQ(-5, PullFile(0, 0, 9600, 1000, static_cast<int>(cmd.size()), &cmd[0], &local[0]));
  EXPECT_FALSE(FileExists(local));
  SetFault("PULLFILE", Fault{FaultKind::BadPullChecksum, 0, 1});
  EXPECT_EQ(-7, PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0], &local[0]));
  EXPECT_FALSE(FileExists(local));
  ASSERT_EQ(0, PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0], &local[0]));
  EXPECT_EQ(Pattern(4000), ReadFile(local));
}

// A data packet that fits in one report, with a wrong checksum: refused
// with the negative answer, the pull ends with -7 and no file.
TEST_F(HidTransfer, PullRefusesAOneReportPacketWithAWrongChecksum) {
  ASSERT_TRUE(impl().WriteTerminalFile("/tmp/hw.png", Pattern(1500, 8)));
  {
    std::lock_guard<std::mutex> lock(impl().mu);
    impl().state.pullPacketSize = 500;
  }
  std::string cmd = B("\x1b[0PULLFILE\x02/tmp/hw.png\x03");
  std::string local = Scratch("one.png");
  SetFault("PULLFILE", Fault{FaultKind::BadPullChecksum, 0, 1});
  ClearHistory();
  EXPECT_EQ(-7, PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0], &local[0]));
  EXPECT_FALSE(FileExists(local));
  const std::vector<std::string> sent = Sent();
  ASSERT_EQ(3u, sent.size());  // the pull, the start accepted, the bad packet refused
  EXPECT_EQ(B("\x1b[0RESPONSE\x02"
              "0\x03"),
            sent[1]);
  EXPECT_EQ(B("\x1b[0RESPONSE\x02"
              "1\x03"),
            sent[2]);
  ASSERT_EQ(0, PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0], &local[0]));
  EXPECT_EQ(Pattern(1500, 8), ReadFile(local));
}

// Names of the entries of a directory, "." and ".." left out.
std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return names;
  while (const dirent* e = readdir(d))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      names.push_back(e->d_name);
  closedir(d);
  return names;
}

// The pulled file is a new private file put in place by a rename: a symlink
// or a file already at the path is replaced, never written through, and a
// failed pull leaves nothing at the path nor beside it.
TEST_F(HidTransfer, PullCreatesAPrivateFileAndNeverFollowsASymlink) {
  const std::string content = Pattern(5000, 3);
  ASSERT_TRUE(impl().WriteTerminalFile("/tmp/hw.png", content));
  std::string cmd = B("\x1b[0PULLFILE\x02/tmp/hw.png\x03");
  const std::string dir = Scratch("pulls");
  ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
  const std::string victim = Scratch("victim"), local = dir + "/hw.png";
  WriteFile(victim, "keep me");
  ASSERT_EQ(0, symlink(victim.c_str(), local.c_str()));
  const mode_t oldMask = umask(0);
  const int rc = PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0],
                          const_cast<char*>(local.c_str()));
  umask(oldMask);
  ASSERT_EQ(0, rc);
  EXPECT_EQ("keep me", ReadFile(victim));
  struct stat st;
  ASSERT_EQ(0, lstat(local.c_str(), &st));
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(content, ReadFile(local));
  EXPECT_EQ(std::vector<std::string>{"hw.png"}, Entries(dir));

  // A failed pull: the file from before is gone too, so that it cannot pass
  // for this pull's; nothing is left beside it.
  SetFault("PULLFILE", Fault{FaultKind::BadPullChecksum, 0, 1});
  EXPECT_EQ(-7, PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0],
                         const_cast<char*>(local.c_str())));
  EXPECT_TRUE(Entries(dir).empty());
  ASSERT_EQ(0, symlink(victim.c_str(), local.c_str()));
  SetFault("PULLFILE", Fault{FaultKind::Vanish, 0, 1, 3});
  EXPECT_GT(0, PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0],
                        const_cast<char*>(local.c_str())));
  EXPECT_TRUE(Entries(dir).empty());
  EXPECT_EQ("keep me", ReadFile(victim));
}

// A terminal that keeps sending cannot grow the file beyond the header's
// cap: the pull stops there with -7 and leaves no file.
TEST_F(HidTransfer, PullStopsAtItsSizeCap) {
  std::string big = Pattern(TLX_MAX_PULL_SIZE + 1, 4);
  ASSERT_TRUE(impl().WriteTerminalFile("/tmp/hw.png", big));
  {
    std::lock_guard<std::mutex> lock(impl().mu);
    impl().state.pullPacketSize = 190000;
  }
  std::string cmd = B("\x1b[0PULLFILE\x02/tmp/hw.png\x03");
  std::string local = Scratch("big.png");
  EXPECT_EQ(-7, PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0], &local[0]));
  EXPECT_FALSE(FileExists(local));
  // Exactly the cap is a whole pull.
  big.pop_back();
  ASSERT_TRUE(impl().WriteTerminalFile("/tmp/hw.png", big));
  ASSERT_EQ(0, PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0], &local[0]));
  EXPECT_EQ(big.size(), ReadFile(local).size());
}

// Nor can it hold the call with packets that carry next to nothing: a pull
// takes at most TLX_MAX_PULL_PACKETS reports.
TEST_F(HidTransfer, PullStopsAtItsPacketCap) {
  ASSERT_TRUE(impl().WriteTerminalFile("/tmp/hw.xml", Pattern(TLX_MAX_PULL_PACKETS + 10, 6)));
  {
    std::lock_guard<std::mutex> lock(impl().mu);
    impl().state.pullPacketSize = 1;
  }
  std::string cmd = B("\x1b[0PULLFILE\x02/tmp/hw.xml\x03");
  std::string local = Scratch("many.xml");
  EXPECT_EQ(-7, PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0], &local[0]));
  EXPECT_FALSE(FileExists(local));
  int accepted = 0;
  for (const auto& sent : Sent())
    accepted += sent == B("\x1b[0RESPONSE\x02"
                          "0\x03");
  EXPECT_EQ(TLX_MAX_PULL_PACKETS, accepted);  // the start packet and data packets
}

// The receiver on its own, one 1024-byte report at a time (no link open, so
// its acceptance and refusal texts go nowhere).
TEST(PullReceiver, HeaderChecks) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(nullptr, file);
  char report[1024];
  auto header = [&](int first, int type, long n) {
    std::memset(report, 0, sizeof report);
    report[0] = static_cast<char>(first);
    report[1] = static_cast<char>(type);
    report[3] = static_cast<char>((n >> 16) & 0xFF);
    report[4] = static_cast<char>((n >> 8) & 0xFF);
    report[5] = static_cast<char>(n & 0xFF);
  };
  header(0x02, 2, 256001);  // more than 250 reports
  EXPECT_EQ(-1, RecvPullPacket(report, sizeof report, file));
  header(0x03, 1, 0);
  EXPECT_EQ(-1, RecvPullPacket(report, sizeof report, file));
  header(0x02, 4, 0);
  EXPECT_EQ(-1, RecvPullPacket(report, sizeof report, file));
  header(0x02, 0, 0);  // nothing yet: no answer, still waiting for a header
  EXPECT_EQ(0, RecvPullPacket(report, sizeof report, file));
  header(0x02, 1, 1);
  report[6] = 0x5A;
  report[2] = 0x5B;  // wrong checksum
  EXPECT_EQ(-1, RecvPullPacket(report, sizeof report, file));
  report[2] = 0x5A;
  EXPECT_EQ(1, RecvPullPacket(report, sizeof report, file));
  // A data packet of 1020 bytes: 1018 in this report, 2 in the next one,
  // whose other bytes are ignored.
  header(0x02, 2, 1020);
  for (int i = 6; i < 1024; ++i) report[i] = static_cast<char>(i);
  unsigned char sum = 0;
  for (int i = 6; i < 1024; ++i) sum ^= static_cast<unsigned char>(report[i]);
  sum ^= 0x11 ^ 0x22;
  report[2] = static_cast<char>(sum);
  EXPECT_EQ(0, RecvPullPacket(report, sizeof report, file));
  std::memset(report, 0x77, sizeof report);
  report[0] = 0x11;
  report[1] = 0x22;
  EXPECT_EQ(1, RecvPullPacket(report, sizeof report, file));
  EXPECT_EQ(1018 + 2, std::ftell(file));
  header(0x02, 3, 0);  // end packet, back to expecting a header
  EXPECT_EQ(2, RecvPullPacket(report, sizeof report, file));
  // Exactly 250 reports of payload is allowed.
  header(0x02, 2, 256000);
  EXPECT_EQ(0, RecvPullPacket(report, sizeof report, file));
  std::fclose(file);
}

TEST(DownParam, RecordLayout) {
  unsigned char data[3] = {0xAA, 0x00, 0x55};
  unsigned char out[16] = {0};
  ASSERT_EQ(12, GetDownParam(0x01020304, 7, data, 3, out));
  const unsigned char expected[11] = {0x04, 0x03, 0x02, 0x01, 7, 0, 0, 0, 0xAA, 0x00, 0x55};
  EXPECT_EQ(0, std::memcmp(expected, out, 11));
  unsigned char x = 0;
  for (unsigned char b : expected) x ^= b;
  EXPECT_EQ(x, out[11]);
  EXPECT_EQ(-1, GetDownParam(1, 0, data, 513, out));
  EXPECT_EQ(-1, GetDownParam(1, 0, data, 0, out));
}

}  // namespace
}  // namespace tlxtest
