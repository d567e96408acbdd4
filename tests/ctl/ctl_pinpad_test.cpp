// tlxctl's PIN pad commands against the virtual terminal on both links:
// keys from a file and from standard input (never from the command line),
// PINs and PIN blocks printed only with --show.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "CtlTest.h"
#include "PinBlock.h"
#include "Tdes.h"

namespace tlxtest {
namespace {

const char kKey1[] = "0123456789ABCDEF";
const char kKey2[] = "fedcba9876543210";  // lower case on purpose
const std::string kKey1Bytes("\x01\x23\x45\x67\x89\xAB\xCD\xEF", 8);
const std::string kKey2Bytes("\xFE\xDC\xBA\x98\x76\x54\x32\x10", 8);
const std::string kWorkKey("\x5A\x3C\x96\x0F\xE1\x2D\x78\xB4\x4B\x87\xD2\x1E\xF0\x69\xC3\xA5", 16);

class CtlPinPad : public CtlLinkTest {
 protected:
  // Master key 3 and active work key 5 in the terminal, as a key load
  // through tlxctl would leave them.
  void LoadKeys() {
    std::lock_guard<std::mutex> g(engine().Impl().mu);
    auto& st = engine().Impl().state;
    st.masterKeys[3] = kKey2Bytes + kKey1Bytes;
    st.workKeys[{3, 5}] = kWorkKey;
    st.activeMaster = 3;
    st.activeWork = 5;
  }
  std::string EncryptedWorkKey() {
    std::string enc;
    EXPECT_TRUE(tlxsim::TdesEncrypt(kKey2Bytes + kKey1Bytes, kWorkKey, &enc));
    return enc;
  }
  std::string ExpectedBlock(const std::string& pin, const std::string& account) {
    std::string field, clear, block;
    EXPECT_TRUE(tlxsim::AccountField(account, &field));
    EXPECT_TRUE(tlxsim::MakeClearPinBlock(0, pin, field, &clear));
    EXPECT_TRUE(tlxsim::TdesEncrypt(kWorkKey, clear, &block));
    return block;
  }
  void SetPin(const std::string& pin, bool answers = true) {
    tlxsim::Customer c = terminal().GetCustomer();
    c.pin = {answers, 50, pin};
    SetCustomer(c);
  }
};

TEST_P(CtlPinPad, MasterKeyFromAFile) {
  WriteFile(Scratch("master.keys"), std::string("# branch 12\n") + kKey1 + "\n" + kKey2 + "\n",
            0600);
  CtlResult r = Run({"master-key", "3", Scratch("master.keys")});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "master key 3 loaded\n");
  std::lock_guard<std::mutex> g(engine().Impl().mu);
  EXPECT_EQ(engine().Impl().state.masterKeys[3], kKey2Bytes + kKey1Bytes);
}

TEST_P(CtlPinPad, MasterKeyFromStandardInput) {
  CtlResult r = Run({"--json", "master-key", "0"}, std::string(kKey1) + " " + kKey2);
  EXPECT_EQ(r.status, 0) << r.err;
  Json j = ParseJson(r.out);
  ASSERT_TRUE(j) << r.out;
  EXPECT_EQ(JsonNumber(j.get(), "index"), 0);
  EXPECT_EQ(JsonNumber(j.get(), "key_bytes"), 16);
  EXPECT_EQ(r.out.find(kKey1), std::string::npos);
  std::lock_guard<std::mutex> g(engine().Impl().mu);
  EXPECT_EQ(engine().Impl().state.masterKeys[0], kKey2Bytes + kKey1Bytes);
}

TEST_P(CtlPinPad, WorkKeyFromStandardInputAndActivate) {
  {
    std::lock_guard<std::mutex> g(engine().Impl().mu);
    engine().Impl().state.masterKeys[3] = kKey2Bytes + kKey1Bytes;
  }
  CtlResult r = Run({"work-key", "3", "5", "-"}, HexDump(EncryptedWorkKey()) + "\n");
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "work key 5 loaded under master key 3\n");
  r = Run({"activate", "3", "5"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "work key 5 of master key 3 active\n");
  std::lock_guard<std::mutex> g(engine().Impl().mu);
  EXPECT_EQ((engine().Impl().state.workKeys[{3, 5}]), kWorkKey);
  EXPECT_EQ(engine().Impl().state.activeMaster, 3);
  EXPECT_EQ(engine().Impl().state.activeWork, 5);
}

TEST_P(CtlPinPad, BadKeyInputNeverQuotesTheKey) {
  // An odd number of digits, a non-hex character, a third key: faults of
  // the key file (status 1) that name the key's position only.
  const std::string secret = "0123456789ABCDE";
  WriteFile(Scratch("odd"), secret + "\n" + kKey2 + "\n", 0600);
  CtlResult r = Run({"master-key", "1", Scratch("odd")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("key text 1 in " + Scratch("odd") + " has an odd number of digits"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find(secret), std::string::npos);

  r = Run({"master-key", "1"}, std::string(kKey1) + "XY " + kKey2);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("key text 1 in standard input is not hexadecimal"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find(kKey1), std::string::npos);

  r = Run({"work-key", "1", "2"}, std::string(kKey1) + "\n" + kKey2 + "\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("holds more than 1 key text"), std::string::npos) << r.err;

  r = Run({"master-key", "1", Scratch("missing")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read " + Scratch("missing")), std::string::npos) << r.err;
  // Nothing reached the terminal.
  for (const auto& rec : Settled()) EXPECT_NE(rec.bytes.substr(0, 2), "\x1bM");
}

TEST_P(CtlPinPad, KeyFileReadableByOthersIsWarnedAbout) {
  WriteFile(Scratch("open.keys"), std::string(kKey1) + "\n" + kKey2 + "\n", 0644);
  CtlResult r = Run({"master-key", "2", Scratch("open.keys")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "tlxctl: warning: " + Scratch("open.keys") + " is readable by every user\n");
}

TEST_P(CtlPinPad, KeyCommandsRefused) {
  SetFault("M", {FaultKind::Refuse});
  SetFault("S", {FaultKind::Refuse});
  SetFault("R", {FaultKind::Refuse});
  ExpectCtlError(Run({"master-key", "3"}, std::string(kKey1) + "\n" + kKey2), -7, "master-key");
  ExpectCtlError(Run({"work-key", "3", "5"}, HexDump(EncryptedWorkKey())), -7, "work-key");
  ExpectCtlError(Run({"key-reset"}), -7, "key-reset");
  // No such work key: the terminal refuses to activate it.
  ExpectCtlError(Run({"activate", "4", "4"}), -7, "activate");
  // An index out of range is refused with its range; nothing is sent.
  ClearHistory();
  ExpectRangeError(Run({"master-key", "16"}, std::string(kKey1) + "\n" + kKey2),
                   "INDEX takes 0..15, not '16'");
  ExpectRangeError(Run({"work-key", "3", "16"}, HexDump(EncryptedWorkKey())),
                   "INDEX takes 0..15, not '16'");
  ExpectRangeError(Run({"activate", "-1", "2"}), "MASTER takes 0..15, not '-1'");
  EXPECT_TRUE(Settled().empty());
}

TEST_P(CtlPinPad, MasterKeySilent) {
  SetFault("M", {FaultKind::Silence});
  ExpectCtlError(Run({"master-key", "3"}, std::string(kKey1) + "\n" + kKey2), -2, "master-key");
}

TEST_P(CtlPinPad, WorkKeySilent) {
  SetFault("S", {FaultKind::Silence});
  ExpectCtlError(Run({"work-key", "3", "5"}, HexDump(EncryptedWorkKey())), -2, "work-key");
}

TEST_P(CtlPinPad, ActivateAndResetSilent) {
  SetFault("A", {FaultKind::Silence});
  ExpectCtlError(Run({"activate", "3", "5"}), -2, "activate");
}

TEST_P(CtlPinPad, KeyResetSilent) {
  SetFault("R", {FaultKind::Silence});
  ExpectCtlError(Run({"key-reset"}), -2, "key-reset");
}

TEST_P(CtlPinPad, KeyResetAndPinLength) {
  LoadKeys();
  CtlResult r = Run({"key-reset"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "all keys reset\n");
  r = Run({"pin-length", "8"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "PIN length set to 8\n");
  r = Run({"pin-length", "3"});
  ExpectRangeError(r, "LENGTH takes 4..14, not '3'");
  Settled();
  std::lock_guard<std::mutex> g(engine().Impl().mu);
  EXPECT_TRUE(engine().Impl().state.masterKeys[3].empty());
  EXPECT_EQ(engine().Impl().state.pinLength, 8);
}

TEST_P(CtlPinPad, PlainPinShownOnlyWhenAskedFor) {
  SetPin("824613");
  CtlResult r = Run({"read-pin", "--timeout", "5"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "PIN entered: 6 characters (not shown; --show prints it)\n");
  Json j = ParseJson(Run({"--json", "read-pin", "--mode", "1"}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonNumber(j.get(), "pin_length"), 6);
  EXPECT_EQ(cJSON_GetObjectItem(j.get(), "pin"), nullptr);

  r = Run({"read-pin", "--show"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "824613\n");
  j = ParseJson(Run({"--json", "read-pin", "--show", "--mode", "1"}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonString(j.get(), "pin"), "824613");
}

TEST_P(CtlPinPad, PlainPinRefusedAndTimedOut) {
  ExpectRangeError(Run({"read-pin", "--timeout", "0"}), "--timeout takes 1..999, not '0'");
  ExpectRangeError(Run({"read-pin", "--mode", "2"}), "--mode takes 0..1, not '2'");
  ExpectRangeError(Run({"read-pin", "--prompt", "x"}), "--prompt takes 0..1, not 'x'");
  SetPin("", false);
  ExpectCtlError(Run({"read-pin", "--timeout", "1"}), -2, "read-pin");
}

// Ctrl-C while the customer is asked for the PIN: the entry is cancelled
// and still ended with 0x83; the exit status is the cancel's.
TEST_P(CtlPinPad, InterruptCancelsTheEntryAndEndsIt) {
  SetPin("", false);
  const auto start = std::chrono::steady_clock::now();
  CtlResult r = Run({"read-pin", "--timeout", "60"}, "", [this] {
    for (const auto& rec : History())
      if (rec.bytes == "\x82") return true;
    return false;
  });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(r.status, 19) << r.err;
  EXPECT_NE(r.err.find("tlxctl: interrupted, cancelling the command\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("tlxctl: read-pin: error -9: read cancelled\n"), std::string::npos) << r.err;
  const std::vector<tlxsim::Received> h = Settled();
  ASSERT_FALSE(h.empty());
  size_t last = h.size() - 1;
  while (last > 0 && h[last].bytes.size() == 3 && h[last].bytes[0] == '\x1b')
    --last;  // channel reset
  EXPECT_EQ(h[last].bytes, "\x83");
}

TEST_P(CtlPinPad, PinBlocksShownOnlyWhenAskedFor) {
  LoadKeys();
  SetPin("824613");
  CtlResult r = Run({"pin-block"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "PIN block: 16 characters (not shown; --show prints it)\n");
  r = Run({"pin-block", "--show"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, HexDump(ExpectedBlock("824613", "")) + "\n");

  const std::string account = "6222020200112233445";
  // The account number from a file, never from the command line.
  const std::string accountFile = Scratch("account");
  WriteFile(accountFile, account + "\n", 0600);
  r = Run({"pin-block", "--show", "--account", accountFile});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, HexDump(ExpectedBlock("824613", account)) + "\n");
  ClearHistory();
  r = Run({"pin-block", "--show", "--account", account});
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("not the number itself"), std::string::npos) << r.err;
  EXPECT_TRUE(Sent().empty());
  // The account number from standard input; the long form with option 2.
  r = Run({"--json", "pin-block", "--option", "2", "--account", "-"}, account + "\n");
  EXPECT_EQ(r.status, 0) << r.err;
  Json j = ParseJson(r.out);
  ASSERT_TRUE(j) << r.out;
  EXPECT_EQ(JsonNumber(j.get(), "pin_block_length"), 32);
  EXPECT_EQ(cJSON_GetObjectItem(j.get(), "pin_block"), nullptr);
  bool sawAccount = false;
  for (const auto& rec : Settled())
    sawAccount = sawAccount || rec.bytes == "\x1bI02" + account + "\r\n";
  EXPECT_TRUE(sawAccount);
}

// A second signal at the key prompt ends tlxctl at once; the terminal it
// asked on gets its echo back.
TEST_P(CtlPinPad, SecondSignalAtTheKeyPromptRestoresEcho) {
  if (L() == Link::Hid) GTEST_SKIP() << "the prompt is the same on both links";
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(0, grantpt(master));
  ASSERT_EQ(0, unlockpt(master));
  const std::string slavePath = ptsname(master);
  const std::string port = std::to_string(PortOf(L()));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setsid();
    const int slave = open(slavePath.c_str(), O_RDWR);
    if (slave < 0) _exit(120);
    dup2(slave, 0);
    dup2(slave, 1);
    dup2(slave, 2);
    execl(TLXCTL_PATH, "tlxctl", "--port", port.c_str(), "master-key", "3", "-",
          static_cast<char*>(nullptr));
    _exit(121);
  }
  const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  // Until the prompt has turned echo off.
  bool quiet = false;
  for (int i = 0; i < 500 && !quiet; ++i) {
    termios t;
    quiet = tcgetattr(slave, &t) == 0 && (t.c_lflag & ECHO) == 0;
    if (!quiet) usleep(10000);
  }
  EXPECT_TRUE(quiet) << "no prompt with echo off";
  kill(child, SIGINT);
  usleep(200000);
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(130, WEXITSTATUS(status));
  termios t;
  ASSERT_EQ(0, tcgetattr(slave, &t));
  EXPECT_NE(0u, t.c_lflag & ECHO) << "the terminal was left without echo";
  close(slave);
  close(master);
  EXPECT_TRUE(Sent().empty());
}

TEST_P(CtlPinPad, PinBlockRefusedWithoutActiveKey) {
  SetPin("824613");
  ExpectCtlError(Run({"pin-block"}), -7, "pin-block");
  ExpectRangeError(Run({"pin-block", "--option", "4"}), "--option takes 0..3, not '4'");
}

TEST_P(CtlPinPad, PinBlockSilent) {
  LoadKeys();
  SetFault("F", {FaultKind::Silence});
  ExpectCtlError(Run({"pin-block", "--timeout", "1"}), -2, "pin-block");
}

TLX_CTL_BOTH_LINKS(CtlPinPad);

}  // namespace
}  // namespace tlxtest
