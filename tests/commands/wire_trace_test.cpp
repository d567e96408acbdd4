// The library's wire trace, switched on with SetDebugFlag/SetDebugPath: one
// record per exchange in the trace line formats, with the link, the bytes
// both ways, how the read ended, the result and the time; key material,
// PINs, PIN blocks and account numbers masked byte for byte; nothing
// written while it is off.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "CommandTest.h"
#include "Tdes.h"

namespace tlxtest {
namespace {

std::string Hex(const std::string& bytes) { return HexDump(bytes); }

std::string Stars(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += "2A";
  return s;
}

// The trace's lines without their stamps (each checked to be one).
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      ADD_FAILURE() << "a line without CR LF: " << text.substr(pos);
      break;
    }
    const std::string line = text.substr(pos, end - pos);
    bool stamped = line.size() >= 15 && line.compare(13, 2, "  ") == 0;
    for (int i = 0; stamped && i < 13; ++i)
      stamped = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
    EXPECT_TRUE(stamped) << line;
    out.push_back(stamped ? line.substr(15) : line);
    pos = end + 2;
  }
  return out;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

class WireTrace : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    path_ = Scratch("wire.trace");
    SetDebugPath(path_.c_str());
    SetDebugFlag(1);
  }
  void TearDown() override {
    SetDebugFlag(0);
    SetDebugPath("");
    LinkTest::TearDown();
  }
  std::vector<std::string> Trace() { return Lines(ReadFile(path_)); }
  // The lines of the record whose TX dump is tx.
  std::vector<std::string> RecordOf(const std::string& txDump) {
    std::vector<std::string> lines = Trace();
    for (size_t i = 1; i + 1 < lines.size(); ++i)
      if (lines[i] == txDump) {
        size_t end = i;
        while (end < lines.size() && !StartsWith(lines[end], "TLX end=")) ++end;
        return std::vector<std::string>(
            lines.begin() + static_cast<long>(i) - 1,
            lines.begin() + static_cast<long>(std::min(end + 1, lines.size())));
      }
    ADD_FAILURE() << "no record sends " << txDump;
    return {};
  }
  std::string Head(const char* verb, const std::string& rest) {
    if (Hid()) return std::string("TLX ") + verb + " usb port=0 id=2fb0:0101" + rest;
    return std::string("TLX ") + verb + " serial port=" + std::to_string(SerialPort()) + " dev=" +
           terminal().serialPathPattern().replace(terminal().serialPathPattern().find("%d"), 2,
                                                  "0") +
           " bp=none baud=9600" + rest;
  }
  void SetPin(const std::string& pin) {
    tlxsim::Customer c = terminal().GetCustomer();
    c.pin = tlxsim::Answer{true, 20, pin};
    SetCustomer(c);
  }
  std::string path_;
};
TLX_BOTH_LINKS(WireTrace);

TEST_P(WireTrace, OneRecordPerExchange) {
  char version[TLX_VERSION_SIZE] = {0};
  ASSERT_EQ(0, TLX_GetVer(Port(), 0, 9600, version));
  std::string json;
  {
    std::lock_guard<std::mutex> g(impl().mu);
    json = impl().state.versionJson;
  }
  const std::vector<std::string> r = RecordOf("TX  LEN=16   HEX: " + Hex("\x1b[0GETDEVICEINFO"));
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0], Head("exchange", " until=ETX limit=2000ms"));
  EXPECT_EQ(r[2], "RX  LEN=" + std::to_string(json.size() + 2) +
                      "   HEX: " + Hex("\x02" + json + "\x03"));
  EXPECT_TRUE(StartsWith(r[3], "TLX end=met result=0 (success) time=")) << r[3];
  EXPECT_EQ(r[3].substr(r[3].size() - 2), "ms");
  // The flush is no exchange; the file holds this one record only.
  EXPECT_EQ(Trace().size(), 4u);
  struct stat st;
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "a new trace file is the owner's only";
}

TEST_P(WireTrace, WriteOnlyTimeoutAndOpenFailure) {
  ASSERT_EQ(0, TLX_SetPinLen(Port(), 0, 9600, 6));
  std::vector<std::string> r = RecordOf("TX  LEN=6   HEX: " + Hex("\x1b[1;6L"));
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0], Head("exchange", " until=none limit=2000ms"));
  EXPECT_TRUE(StartsWith(r[2], "TLX end=write-only result=0 (success)")) << r[2];

  // An answer without its ETX: what came before the time ran out is kept.
  SetFault("GETUPDATESTATUS", {FaultKind::Truncate, 0, 1});
  char result[TLX_UPDATE_TEXT_SIZE] = {0}, detail[TLX_UPDATE_TEXT_SIZE] = {0};
  ASSERT_EQ(-2, TLX_GetUpdateStatus(Port(), 0, 9600, result, detail));
  std::string json;
  {
    std::lock_guard<std::mutex> g(impl().mu);
    json = impl().state.updateStatusJson;
  }
  r = RecordOf("TX  LEN=18   HEX: " + Hex("\x1b[0GETUPDATESTATUS"));
  ASSERT_EQ(r.size(), 4u);
  const std::string came = Hex("\x02" + json);
  ASSERT_TRUE(StartsWith(r[2], "RX-PART  LEN=")) << r[2];
  EXPECT_NE(r[2].find("   HEX: " + came), std::string::npos) << r[2];
  if (!Hid()) {
    EXPECT_EQ(r[2], "RX-PART  LEN=" + std::to_string(json.size() + 1) + "   HEX: " + came);
  }
  EXPECT_TRUE(StartsWith(r[3], "TLX end=timeout result=-2 (no complete reply in time)")) << r[3];

  // A port that does not open: the command is there, marked unsent.
  ASSERT_EQ(-3, TLX_RestartSys(Hid() ? 7 : SerialPort() + 5, 0, 9600));
  r = RecordOf("UNSENT  LEN=10   HEX: " + Hex("\x1b[0RESTART"));
  ASSERT_EQ(r.size(), 3u);
  EXPECT_TRUE(StartsWith(r[2], "TLX end=not-opened result=-3")) << r[2];
}

TEST_P(WireTrace, KeyMaterialIsMaskedByteForByte) {
  std::string key1 = "0011223344556677", key2 = "8899aabbccddeeff";
  ASSERT_EQ(0, TLX_UpdateMKey(Port(), 0, 9600, 3, &key1[0], &key2[0]));
  std::vector<std::string> r = RecordOf("TX  LEN=38   HEX: 1B4D3033" + Stars(32) + "0D0A");
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[2], "RX  LEN=1   HEX: AA");
  EXPECT_TRUE(StartsWith(r[3], "TLX end=met result=0 (success)")) << r[3];
  EXPECT_NE(r[3].find(" masked=32"), std::string::npos);

  std::string master, work = B("\x10\x32\x54\x76\x98\xba\xdc\xfe"), enc;
  {
    std::lock_guard<std::mutex> g(impl().mu);
    master = impl().state.masterKeys[3];
  }
  ASSERT_TRUE(tlxsim::TdesEncrypt(master, work + work, &enc));
  std::string wk = Hex(enc);
  ASSERT_EQ(0, TLX_DownLoadWKey(Port(), 0, 9600, 3, 9, &wk[0]));
  RecordOf("TX  LEN=40   HEX: 1B5330333039" + Stars(32) + "0D0A");
  // Activation carries indexes only.
  ASSERT_EQ(0, TLX_ActiveWKey(Port(), 0, 9600, 3, 9));
  RecordOf("TX  LEN=8   HEX: " + Hex("\x1b"
                                     "A0309\r\n"));
  const std::string all = ReadFile(path_);
  for (const std::string& secret :
       {Hex(B("\x00\x11\x22\x33\x44\x55\x66\x77")), Hex(B("\x88\x99\xaa\xbb\xcc\xdd\xee\xff")),
        Hex(HexAsc1(B("\x00\x11\x22\x33"))), Hex(HexAsc1(enc.substr(0, 4)))})
    EXPECT_EQ(all.find(secret), std::string::npos) << secret;
}

TEST_P(WireTrace, PinsAccountsAndBlocksAreMasked) {
  SetPin("97531");
  char pin[64] = {0};
  ASSERT_EQ(0, TLX_ReadPin(Port(), 0, 9600, 1, 0, 5, pin, 64));
  ASSERT_STREQ(pin, "97531");
  // Mode 1: every key press is the digit and a zero byte, then CR.
  std::vector<std::string> r = RecordOf("TX  LEN=1   HEX: 82");
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[2], "RX  LEN=11   HEX: " + Stars(10) + "0D");

  // Work key 1/2 active: both block commands.
  const std::string master = B("\x01\x23\x45\x67\x89\xab\xcd\xef\xfe\xdc\xba\x98\x76\x54\x32\x10");
  {
    std::lock_guard<std::mutex> g(impl().mu);
    impl().state.masterKeys[1] = master;
    impl().state.workKeys[{1, 2}] = master;
    impl().state.activeMaster = 1;
    impl().state.activeWork = 2;
  }
  char block[TLX_PIN_BLOCK_SIZE] = {0};
  ASSERT_EQ(0, TLX_ReadPinDES(Port(), 0, 9600, 0, 2, 5, block));
  r = RecordOf("TX  LEN=6   HEX: " + Hex("\x1b"
                                         "F02\r\n"));
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[2], "RX  LEN=36   HEX: 023230" + Stars(32) + "03");
  std::string account = "6222020200112233445";
  char block2[TLX_PIN_BLOCK_SIZE] = {0};
  ASSERT_EQ(0, TLX_ReadPinAnsi(Port(), 0, 9600, 1, 0, 5, &account[0], block2));
  r = RecordOf("TX  LEN=25   HEX: 1B493130" + Stars(19) + "0D0A");
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[2], "RX  LEN=20   HEX: 023130" + Stars(16) + "03");
  const std::string all = ReadFile(path_);
  for (const std::string& secret :
       {Hex("97531"), Hex(std::string(block, 16)), Hex(HexAsc1(std::string(block, 8))),
        Hex(std::string(block2, 16)), Hex(account),
        Hex(HexAsc1("\x10")) + Hex(HexAsc1(std::string(block2, 4)))})
    EXPECT_EQ(all.find(secret), std::string::npos) << secret;
}

// The customer's keypad entries and signature are personal data: the trace
// keeps their frames and lengths, never their bytes.
TEST_P(WireTrace, KeypadEntriesAndPulledFilesAreRecordedByLengthOnly) {
  char input[TLX_KEYPAD_INPUT_SIZE] = {0};
  ASSERT_EQ(0, TLX_StartKeyboard(Port(), 0, 9600, 5, 1, input));
  ASSERT_GT(std::strlen(input), 3u);
  std::vector<std::string> r = RecordOf("TX  LEN=5   HEX: " + Hex("\x1b"
                                                                  "FA\r\n"));
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[2], "RX  LEN=" + std::to_string(std::strlen(input) + 2) + "   HEX: 42" +
                      Stars(std::strlen(input)) + "46");
  ASSERT_EQ(0, TLX_StartKeyboard(Port(), 0, 9600, 5, 0, input));
  EXPECT_EQ(ReadFile(path_).find(Hex(input)), std::string::npos) << input;

  std::string pdf = Scratch("doc.pdf");
  WriteFile(pdf, "%PDF-1.4 a contract");
  std::string img = Scratch("hw.png"), dat = Scratch("hw.ini");
  ASSERT_EQ(0, TLX_StartSign(Port(), 0, 9600, 5, &pdf[0], &img[0], &dat[0]));
  const std::string trace = ReadFile(path_);
  for (const std::string& file : {ReadFile(img), ReadFile(dat)}) {
    ASSERT_GT(file.size(), 64u);
    // Any run of the file's bytes, as the hex dump would show it.
    for (size_t at : {size_t{0}, file.size() / 2, file.size() - 16})
      EXPECT_EQ(trace.find(Hex(file.substr(at, 16))), std::string::npos) << at;
  }
  // Each pull's packets keep their headers: the start packet is there.
  EXPECT_NE(trace.find("RX  LEN=1024   HEX: 0201"), std::string::npos);
  EXPECT_NE(trace.find(" masked="), std::string::npos);
}

// The information text and the evaluator's answer are not the customer's
// secrets: they stay readable.
TEST_P(WireTrace, InformationAndRatingsAreNotMasked) {
  int result = -1;
  char info[] = "Please confirm";
  ASSERT_EQ(0, TLX_StartInfo(Port(), 0, 9600, 5, info, &result));
  EXPECT_NE(ReadFile(path_).find(Hex(HexAsc1(info))), std::string::npos);
  EXPECT_NE(ReadFile(path_).find("RX  LEN=3   HEX: " + Hex("B0F")), std::string::npos);
}

// The trace file is never reached through a symlink, and never written when
// others may read it; a file the trace creates is its owner's alone.
TEST_P(WireTrace, TraceFileMustBeTheUsersOwnAndPrivate) {
  const mode_t oldMask = umask(0);
  ASSERT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, nullptr));
  umask(oldMask);
  struct stat st;
  ASSERT_EQ(0, lstat(path_.c_str(), &st));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_FALSE(Trace().empty());

  // A symlink at the path: the records do not go where it points.
  const std::string elsewhere = Scratch("elsewhere");
  WriteFile(elsewhere, "");
  ASSERT_EQ(0, chmod(elsewhere.c_str(), 0600));
  ASSERT_EQ(0, unlink(path_.c_str()));
  ASSERT_EQ(0, symlink(elsewhere.c_str(), path_.c_str()));
  ASSERT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, nullptr));
  EXPECT_EQ(ReadFile(elsewhere), "");
  ASSERT_EQ(0, lstat(path_.c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  // A file that others may read or write: left alone.
  for (mode_t mode : {0644, 0640, 0602}) {
    ASSERT_EQ(0, unlink(path_.c_str()));
    WriteFile(path_, "");
    ASSERT_EQ(0, chmod(path_.c_str(), mode));
    ASSERT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, nullptr));
    EXPECT_EQ(ReadFile(path_), "") << std::oct << mode;
  }
  // A FIFO does not hold the command.
  ASSERT_EQ(0, unlink(path_.c_str()));
  ASSERT_EQ(0, mkfifo(path_.c_str(), 0600));
  ASSERT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, nullptr));
  ASSERT_EQ(0, unlink(path_.c_str()));
}

TEST_P(WireTrace, OffWritesNothingAndTheFlagPicksTheFile) {
  SetDebugFlag(0);
  ASSERT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, nullptr));
  EXPECT_EQ(ReadFile(path_), "");
  EXPECT_FALSE(FileExists(path_));

  // Flag set, no path: debug.log in the working directory.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(Scratch("").c_str()), 0);
  SetDebugPath("");
  SetDebugFlag(1);
  ASSERT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, nullptr));
  ASSERT_EQ(chdir(cwd), 0);
  const std::vector<std::string> lines = Lines(ReadFile(Scratch("debug.log")));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "TX  LEN=11   HEX: " + Hex("\x1b[0CHECKR40"));
  EXPECT_FALSE(FileExists(Scratch("debug.ini"))) << "the application's trace file is another";
}

TEST_P(WireTrace, RawStepsOfATransfer) {
  const std::string bytes = Pattern(600);
  WriteFile(Scratch("m.bin"), bytes);
  std::string path = Scratch("m.bin");
  ASSERT_EQ(0, TLX_DownLoadFile(Port(), 0, 9600, 1, &path[0]));
  const std::vector<std::string> lines = Trace();
  if (Hid()) {
    // Every packet is an exchange of its own; the data packet in full.
    std::string packet = B("\x02\x02");
    unsigned char x = 0;
    for (unsigned char c : bytes) x ^= c;
    packet += static_cast<char>(x);
    packet += B("\x00\x02\x58") + bytes;
    RecordOf("TX  LEN=606   HEX: " + Hex(packet));
    return;
  }
  // Serial: two blocks, each a raw write and a raw read on the open port.
  size_t writes = 0, reads = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == Head("write", "")) {
      ++writes;
      ASSERT_LT(i + 2, lines.size());
      EXPECT_TRUE(StartsWith(lines[i + 1], "TX  LEN=")) << lines[i + 1];
      EXPECT_EQ(lines[i + 2], "TLX end=written result=0 (success)");
    }
    if (lines[i] == Head("read", " until=ETX limit=2000ms")) {
      ++reads;
      ASSERT_LT(i + 2, lines.size());
      EXPECT_EQ(lines[i + 1], "RX  LEN=3   HEX: 02AA03");
      EXPECT_TRUE(StartsWith(lines[i + 2], "TLX end=met count=3 time=")) << lines[i + 2];
    }
  }
  EXPECT_EQ(writes, 2u);
  EXPECT_EQ(reads, 2u);
}

// A serial link names its channel and rate; USB has neither.
TEST_P(WireTrace, ChannelLetterOfTheLink) {
  ASSERT_EQ(0, TLX_RestartSys(Port(), 'B', 19200));
  std::vector<std::string> r = RecordOf("TX  LEN=10   HEX: " + Hex("\x1b[0RESTART"));
  ASSERT_FALSE(r.empty());
  if (Hid())
    EXPECT_EQ(r[0], "TLX exchange usb port=0 id=2fb0:0101 until=ETX limit=2000ms");
  else
    EXPECT_NE(r[0].find(" bp=B baud=19200 until=ETX"), std::string::npos) << r[0];
}

}  // namespace
}  // namespace tlxtest
