// The wire trace end to end: every tlxctl command with TLX_TRACE set, then
// the trace, the terminal's log and tlxctl's own output searched for the
// keys, the PIN typed, the account number and the PIN blocks in every form
// they take on the way (text, bytes as hex, HexAsc1, the hex dump of the
// HexAsc1 form): no hit, while the commands and frames are all there.
// Tracing off writes nothing. `tlxctl trace` decodes a trace.
#include <dirent.h>

#include <set>

#include "CtlTest.h"
#include "PinBlock.h"
#include "Tdes.h"

namespace tlxtest {
namespace {

const char kKey1[] = "0123456789ABCDEF";
const char kKey2[] = "FEDCBA9876543210";
const std::string kKey1Bytes("\x01\x23\x45\x67\x89\xAB\xCD\xEF", 8);
const std::string kKey2Bytes("\xFE\xDC\xBA\x98\x76\x54\x32\x10", 8);
const std::string kWorkKey("\x5A\x3C\x96\x0F\xE1\x2D\x78\xB4\x4B\x87\xD2\x1E\xF0\x69\xC3\xA5", 16);
// Twelve digits, so that a hit in the hex dumps of the files moved cannot
// be chance.
const char kPin[] = "824613579135";
const char kAccount[] = "6222020200112233445";

std::string Mask(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += "2A";
  return s;
}

class CtlTrace : public CtlLinkTest {
 protected:
  std::string EncryptedWorkKey() {
    std::string enc;
    EXPECT_TRUE(tlxsim::TdesEncrypt(kKey2Bytes + kKey1Bytes, kWorkKey, &enc));
    return enc;
  }
  std::string Block(const std::string& account, bool withCheckValue) {
    std::string field, clear, block;
    EXPECT_TRUE(tlxsim::AccountField(account, &field));
    EXPECT_TRUE(tlxsim::MakeClearPinBlock(0, kPin, field, &clear));
    EXPECT_TRUE(tlxsim::TdesEncrypt(kWorkKey, clear, &block));
    return withCheckValue ? block + tlxsim::TdesCheckValue(kWorkKey) : block;
  }
  // Every form a secret may take on its way into a file.
  std::vector<std::pair<std::string, std::string>> Secrets() {
    std::vector<std::pair<std::string, std::string>> s;
    auto bytes = [&](const std::string& what, const std::string& b) {
      s.push_back({what + " as hex", HexDump(b)});
      s.push_back({what + " as lower-case hex", Lower(HexDump(b))});
      s.push_back({what + " in HexAsc1 form", HexAsc1(b)});
      s.push_back({what + " in HexAsc1 form, hex dump", HexDump(HexAsc1(b))});
    };
    bytes("key1", kKey1Bytes);
    bytes("key2", kKey2Bytes);
    bytes("work key on the wire", EncryptedWorkKey());
    bytes("clear work key", kWorkKey);
    bytes("long PIN block", Block(kAccount, true));
    for (const auto& block : {Block("", false), Block(kAccount, false), Block(kAccount, true)})
      bytes("PIN block", block.substr(0, 8));
    s.push_back({"PIN", kPin});
    s.push_back({"PIN as hex", HexDump(kPin)});
    s.push_back({"PIN in HexAsc1 form", HexAsc1(kPin)});
    std::string packed;
    for (char c : std::string(kPin)) packed += std::string(1, c) + '\0';
    s.push_back({"PIN as the mode 1 reply, hex", HexDump(packed)});
    s.push_back({"account", kAccount});
    s.push_back({"account as hex", HexDump(kAccount)});
    return s;
  }
  void ExpectNoSecret(const std::string& where, const std::string& text) {
    for (const auto& secret : Secrets())
      EXPECT_EQ(text.find(secret.second), std::string::npos)
          << secret.first << " found in " << where;
  }
};

TEST_P(CtlTrace, TourHoldsNoKeyPinOrPinBlock) {
  const std::string trace = Scratch("wire.trace");
  extraEnv_ = {{"TLX_TRACE", trace}};
  {
    tlxsim::Customer c = terminal().GetCustomer();
    for (tlxsim::Answer* a :
         {&c.info, &c.evaluator, &c.keypadAmount, &c.keypadPhone, &c.sign, &c.pin})
      a->delayMs = 20;
    c.pin.value = kPin;
    SetCustomer(c);
  }
  WriteFile(Scratch("master.keys"), std::string(kKey1) + "\n" + Lower(kKey2) + "\n", 0600);
  WriteFile(Scratch("doc.pdf"), "%PDF-1.4 sample\n");
  WriteFile(Scratch("ad.jpg"), std::string(1500, 'j'));
  std::string outputs;
  auto run = [&](std::vector<std::string> args, const std::string& input = "", int status = 0) {
    CtlResult r = Run(args, input);
    std::string line;
    for (const auto& a : args) line += a + " ";
    EXPECT_EQ(r.status, status) << line << "\n" << r.out << r.err;
    outputs += r.out + r.err;
  };
  run({"online"});
  run({"version"});
  run({"update-status"});
  run({"volume", "media", "9"});
  run({"restart"});
  run({"display", "pinpad", "on"});
  run({"config", "1", "2"});
  run({"pqc"});
  run({"pin-length", "12"});
  run({"key-reset"});
  run({"master-key", "3", Scratch("master.keys")});
  run({"--json", "work-key", "3", "5"}, HexDump(EncryptedWorkKey()) + "\n");
  run({"activate", "3", "5"});
  run({"read-pin"});
  run({"--json", "read-pin", "--mode", "1", "--prompt", "1"});
  run({"pin-block"});
  run({"pin-block", "--account", "-"}, std::string(kAccount) + "\n");
  WriteFile(Scratch("account.txt"), std::string(kAccount) + "\n", 0600);
  run({"--json", "pin-block", "--option", "2", "--account", Scratch("account.txt")});
  run({"info", "please confirm"});
  run({"evaluate", "--name", "Li", "--number", "1001"});
  run({"keypad"});
  run({"keypad", "--mode", "phone"});
  run({"download", Scratch("ad.jpg")});
  run({"list"});
  run({"query", "ad.jpg"});
  run({"delete", "ad.jpg"});
  run({"sign", Scratch("doc.pdf"), Scratch("hw.png"), Scratch("hw.xml")});
  // A PIN reply cut short: what came before the timeout is in the trace.
  SetFault("PIN", {FaultKind::Truncate, 0, 1});
  run({"read-pin", "--timeout", "1"}, "", 12);

  const std::string text = ReadFile(trace);
  ASSERT_FALSE(text.empty());
  ExpectNoSecret("the trace", text);
  ExpectNoSecret("the terminal's log", SimLog());
  ExpectNoSecret("tlxctl's output", outputs);

  // The frames are there, with their lengths; the secrets are '*'.
  const std::string link =
      L() == Link::Hid ? "TLX exchange usb port=0 id=2fb0:0101" : "TLX exchange serial port=";
  EXPECT_NE(text.find(link), std::string::npos);
  EXPECT_NE(text.find("TX  LEN=11   HEX: " + HexDump("\x1b[0CHECKR40")), std::string::npos);
  EXPECT_NE(text.find("TX  LEN=38   HEX: 1B4D3033" + Mask(32) + "0D0A\r\n"), std::string::npos)
      << "master key 3: ESC M, the index, 16 key bytes masked, CR LF";
  EXPECT_NE(text.find("TX  LEN=40   HEX: 1B5330333035" + Mask(32) + "0D0A\r\n"), std::string::npos);
  EXPECT_NE(text.find("TX  LEN=8   HEX: " + HexDump("\x1b"
                                                    "A0305\r\n")),
            std::string::npos);
  EXPECT_NE(text.find("RX  LEN=13   HEX: " + Mask(12) + "0D\r\n"), std::string::npos)
      << "plain PIN";
  EXPECT_NE(text.find("RX  LEN=25   HEX: " + Mask(24) + "0D\r\n"), std::string::npos)
      << "mode 1 PIN";
  // Over USB what came is the whole report, the PIN and the zero padding.
  const size_t cut = L() == Link::Hid ? 1024 : 12;
  EXPECT_NE(text.find("RX-PART  LEN=" + std::to_string(cut) + "   HEX: " + Mask(cut) + "\r\n"),
            std::string::npos)
      << "cut PIN";
  EXPECT_NE(text.find("TLX end=timeout result=-2"), std::string::npos);
  EXPECT_NE(text.find("RX  LEN=20   HEX: 023130" + Mask(16) + "03\r\n"), std::string::npos)
      << "PIN block";
  EXPECT_NE(text.find("RX  LEN=36   HEX: 023230" + Mask(32) + "03\r\n"), std::string::npos)
      << "long block";
  EXPECT_NE(text.find("TX  LEN=25   HEX: 1B493030" + Mask(19) + "0D0A\r\n"), std::string::npos)
      << "account masked";
  // The keypad's "ESC F A" is no PIN block command, but its answer is the
  // customer's: recorded by its length, with its frame.
  EXPECT_NE(text.find("RX  LEN=13   HEX: 42" + Mask(11) + "46\r\n"), std::string::npos);
  EXPECT_EQ(text.find(HexDump("13800138000")), std::string::npos);
  EXPECT_EQ(text.find(HexDump("100.00")), std::string::npos);
  EXPECT_NE(text.find("masked=32"), std::string::npos);

  // Decoded.
  CtlRun decode;
  decode.args = {"trace", trace};
  CtlResult d = RunCtl(decode);
  EXPECT_EQ(d.status, 0) << d.err;
  ExpectNoSecret("the decoded trace", d.out);
  for (const char* name : {"online check (model R40)",
                           "version query",
                           "update status query",
                           "volume: multimedia volume 9",
                           "restart",
                           "display switch: PIN pad: on",
                           "global configuration: 1|2",
                           "production check start",
                           "PIN length: 12",
                           "reset all keys",
                           "load master key 3: keys: 16 bytes (not shown)",
                           "load work key 5 under master key 3: key: 16 bytes (not shown)",
                           "activate work key 5 of master key 3",
                           "plain PIN entry mode: 1",
                           "PIN entry start: voice prompt 1: asks for the PIN again",
                           "plain PIN: 12 bytes and CR (not shown)",
                           "PIN block: tag 0x10, 8 bytes (not shown)",
                           "PIN block entry with account: voice prompt 0, option 2, account: 19 "
                           "characters (not shown)",
                           "PIN block: tag 0x20, 16 bytes (not shown)",
                           "show information: \"please confirm\" (14 bytes)",
                           "customer's answer: confirmed",
                           "customer's answer: satisfied",
                           "keypad entry: 6 characters (not recorded)",
                           "file list: \"ad.jpg\"",
                           "file information: \"ad.jpg|1500\"",
                           "delete file: type 0",
                           "start signing: document pdf",
                           "pull file: \"/tmp/hw.png\"",
                           "data packet from the terminal",
                           "data packet continued",
                           "end packet from the terminal",
                           "packet accepted",
                           "end packet to the terminal",
                           "media type 255 (named file), name \"/tmp/infoviewer.pdf\"",
                           "PIN entry end",
                           "no complete reply in time"})
    EXPECT_NE(d.out.find(name), std::string::npos) << name;
  if (L() == Link::Serial) {
    EXPECT_NE(d.out.find("serial file block 1 of 3: type 0 (advertising picture), name \"ad.jpg\", "
                         "512 data bytes, 2 to come, XOR ok"),
              std::string::npos);
  } else {
    EXPECT_NE(d.out.find("data packet to the terminal: payload 1500 bytes"), std::string::npos);
  }
  Json j = ParseJson(RunCtl(std::vector<std::string>{"--json", "trace", trace}).out);
  ASSERT_TRUE(j);
  EXPECT_GT(JsonNumber(j.get(), "exchanges"), 60);
  EXPECT_EQ(JsonNumber(j.get(), "unreadable_lines"), 0);
}

std::set<std::string> Entries(const std::string& dir) {
  std::set<std::string> names;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return names;
  while (dirent* e = readdir(d)) names.insert(e->d_name);
  closedir(d);
  return names;
}

TEST_P(CtlTrace, TracingOffWritesNothing) {
  extraEnv_ = {{"TLX_TRACE", "\x01"}};
  WriteFile(Scratch("master.keys"), std::string(kKey1) + "\n" + kKey2 + "\n", 0600);
  const std::set<std::string> before = Entries(Scratch(""));
  EXPECT_EQ(Run({"online"}).status, 0);
  EXPECT_EQ(Run({"master-key", "1", Scratch("master.keys")}).status, 0);
  EXPECT_EQ(Run({"read-pin"}).status, 0);
  EXPECT_EQ(Entries(Scratch("")), before) << "no debug.log, debug.ini or any other file";
  // An empty TLX_TRACE names no file.
  extraEnv_ = {{"TLX_TRACE", ""}};
  EXPECT_EQ(Run({"version"}).status, 0);
  EXPECT_EQ(Entries(Scratch("")), before);
}

TLX_CTL_BOTH_LINKS(CtlTrace);

// A trace written by hand: each kind of record and line decoded.
TEST(CtlTraceDecode, RecordsAndLinesExplained) {
  char dir[] = "/tmp/tlxctl-decode-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/t.log";
  const std::string s = "1208064149441  ";
  const std::string info = HexAsc1("\xD6\xD0\xCE\xC4 ok");  // 中文 ok in GBK
  std::string t;
  t += s + "TLX exchange serial port=2 dev=/dev/ttyS1 bp=B baud=115200 until=F limit=7000ms\r\n";
  t += s + "TX  LEN=" + std::to_string(6 + info.size()) +
       "   HEX: " + HexDump("\x1b[2A\x02" + info + "\x03") + "\r\n";
  t += s + "RX  LEN=3   HEX: " + HexDump("B1F") + "\r\n";
  t += s + "TLX end=met result=0 (success) time=812.500ms\r\n";
  t += s + "an application's own line\r\n";
  t += s + "TLX exchange usb port=0 id=2fb0:0101 until=ETX limit=2000ms\r\n";
  t += s + "TX  LEN=12   HEX: 020302000006" +
       HexDump(
           "\x02"
           "a.jpg") +
       "\r\n";
  t += s + "RX  LEN=3   HEX: 025503\r\n";
  t += s + "TLX end=met result=-7 (unexpected or refused reply) time=0.2ms\r\n";
  t += s + "TLX exchange serial port=5 dev=/dev/ttyS4 bp=none baud=9600 until=ETX limit=2000ms\r\n";
  t += s + "UNSENT  LEN=10   HEX: " + HexDump("\x1b[0RESTART") + "\r\n";
  t += s +
       "TLX end=not-opened result=-3 (port cannot be opened, or another command is running) "
       "time=0.1ms\r\n";
  t += "not a trace line\r\n";
  WriteFile(path, t);
  CtlRun run;
  run.args = {"trace", path};
  CtlResult r = RunCtl(run);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string expected =
      "12-08 06:41:49.441  exchange on serial port 2 (/dev/ttyS1), channel B, 115200 baud; until "
      "F, limit 7000ms\n"
      "  > show information: \"\xE4\xB8\xAD\xE6\x96\x87 ok\" (7 bytes)\n"
      "      [" +
      std::to_string(6 + info.size()) + " bytes] <ESC>[2A<STX>" + info +
      "<ETX>\n"
      "  < customer's answer: cancelled\n"
      "      [3 bytes] B1F\n"
      "  = result 0, end condition met, 812.500ms\n"
      "12-08 06:41:49.441  an application's own line\n"
      "12-08 06:41:49.441  exchange on USB port 0 (2fb0:0101); until ETX, limit 2000ms\n"
      "  > end packet to the terminal: payload 6 bytes, XOR 0x02 (does NOT match), media type 2 "
      "(teller photo), name \"a.jpg\"\n"
      "      [12 bytes] <STX><ETX><STX>\\x00\\x00\\x06<STX>a.jpg\n"
      "  < refused\n"
      "      [3 bytes] <STX>U<ETX>\n"
      "  = result -7, end condition met, 0.2ms\n"
      "12-08 06:41:49.441  exchange on serial port 5 (/dev/ttyS4), channel none, 9600 baud; until "
      "ETX, limit 2000ms\n"
      "  > restart\n"
      "      [10 bytes, UNSENT] <ESC>[0RESTART\n"
      "  = result -3, port not opened, 0.1ms\n"
      "3 exchange(s), 1 line(s) that are no trace lines\n";
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(RunCtl(std::vector<std::string>{"trace", std::string(dir) + "/missing"}).status, 1);
  std::remove(path.c_str());
  rmdir(dir);
}

// A terminal text with the byte 0x80: one character (U+0080) as the
// library reads it, shown by its code; a code without a character takes
// both its bytes.
TEST(CtlTraceDecode, TerminalTextsReadAsTheLibraryReadsThem) {
  char dir[] = "/tmp/tlxctl-decode-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/t.log";
  const std::string s = "1208064149441  ";
  const std::string info = HexAsc1(
      "\x80"
      "A\x81\x7F"
      "B");
  const std::string cmd = "\x1b[2A\x02" + info + "\x03";
  std::string t;
  t += s + "TLX exchange usb port=0 until=F limit=7000ms\r\n";
  t += s + "TX  LEN=" + std::to_string(cmd.size()) + "   HEX: " + HexDump(cmd) + "\r\n";
  t += s + "TLX end=write-only result=0 (success) time=1.0ms\r\n";
  WriteFile(path, t);
  CtlRun run;
  run.args = {"trace", path};
  CtlResult r = RunCtl(run);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  > show information: \"\\x80A\xEF\xBF\xBD"
                       "B\" (5 bytes)\n"),
            std::string::npos)
      << r.out;
  std::remove(path.c_str());
  rmdir(dir);
}

}  // namespace
}  // namespace tlxtest
