// PIN pad commands end to end: exact key payloads, acknowledgement, plain
// and encrypted PIN entry.
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "CommandTest.h"
#include "PinBlock.h"
#include "Tdes.h"

namespace tlxtest {
namespace {

const std::string kPinEnd = "\x83";

class PinPad : public LinkTest {
 protected:
  void SetPin(const std::string& value) {
    tlxsim::Customer c = terminal().GetCustomer();
    c.pin = tlxsim::Answer{true, 50, value};
    SetCustomer(c);
  }
  // Loads master key 1 and work key 1/2 (given encrypted under the master
  // key) and activates it; gives the clear work key.
  std::string LoadKeys() {
    const std::string master =
        B("\x01\x23\x45\x67\x89\xab\xcd\xef\xfe\xdc\xba\x98\x76\x54\x32\x10");
    const std::string work = B("\x11\x22\x33\x44\x55\x66\x77\x88\x99\x00\xaa\xbb\xcc\xdd\xee\xff");
    std::string encrypted;
    EXPECT_TRUE(tlxsim::TdesEncrypt(master, work, &encrypted));
    // The master key is key2 followed by key1.
    std::string left = ToHex(master.substr(0, 8)), right = ToHex(master.substr(8));
    EXPECT_EQ(0, TLX_UpdateMKey(Port(), 0, 9600, 1, &right[0], &left[0]));
    std::string wkHex = ToHex(encrypted);
    EXPECT_EQ(0, TLX_DownLoadWKey(Port(), 0, 9600, 1, 2, &wkHex[0]));
    EXPECT_EQ(0, TLX_ActiveWKey(Port(), 0, 9600, 1, 2));
    std::lock_guard<std::mutex> lock(impl().mu);
    return impl().state.workKeys[{1, 2}];
  }
  static std::string ToHex(const std::string& bytes) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (unsigned char c : bytes) {
      s += d[c >> 4];
      s += d[c & 15];
    }
    return s;
  }
  static std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
      out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
  }
};
TLX_BOTH_LINKS(PinPad);

TEST_P(PinPad, RangeChecksSendNothing) {
  char key[] = "0011223344556677";
  char out[64] = {0};
  EXPECT_EQ(-1, TLX_SetPinLen(Port(), 0, 9600, 3));
  EXPECT_EQ(-1, TLX_SetPinLen(Port(), 0, 9600, 15));
  EXPECT_EQ(-1, TLX_UpdateMKey(Port(), 0, 9600, 16, key, key));
  EXPECT_EQ(-1, TLX_UpdateMKey(Port(), 0, 9600, 0, nullptr, key));
  EXPECT_EQ(-1, TLX_UpdateMKey(Port(), 0, 9600, 0, key, nullptr));
  EXPECT_EQ(-1, TLX_DownLoadWKey(Port(), 0, 9600, 0, 16, key));
  EXPECT_EQ(-1, TLX_DownLoadWKey(Port(), 0, 9600, -1, 0, key));
  EXPECT_EQ(-1, TLX_DownLoadWKey(Port(), 0, 9600, 0, 0, nullptr));
  EXPECT_EQ(-1, TLX_ActiveWKey(Port(), 0, 9600, 0, 16));
  EXPECT_EQ(-1, TLX_ReadPin(Port(), 0, 9600, 2, 0, 5, out, 64));
  EXPECT_EQ(-1, TLX_ReadPin(Port(), 0, 9600, 0, 2, 5, out, 64));
  EXPECT_EQ(-1, TLX_ReadPin(Port(), 0, 9600, 0, 0, 0, out, 64));
  EXPECT_EQ(-1, TLX_ReadPin(Port(), 0, 9600, 0, 0, 1000, out, 64));
  EXPECT_EQ(-1, TLX_ReadPin(Port(), 0, 9600, 0, 0, 5, out, 2049));
  EXPECT_EQ(-1, TLX_ReadPin(Port(), 0, 9600, 0, 0, 5, nullptr, 64));
  EXPECT_EQ(-1, TLX_ReadPinDES(Port(), 0, 9600, 0, 4, 5, out));
  EXPECT_EQ(-1, TLX_ReadPinDES(Port(), 0, 9600, 0, 0, 5, nullptr));
  EXPECT_EQ(-1, TLX_ReadPinAnsi(Port(), 0, 9600, 2, 0, 5, nullptr, out));
  std::string longKey(TLX_MAX_KEY_TEXT + 2, '1');
  EXPECT_EQ(-1, TLX_DownLoadWKey(Port(), 0, 9600, 0, 0, &longKey[0]));
  EXPECT_TRUE(Settled().empty());
}

// A key text must be hexadecimal digits in pairs: anything else would make
// the terminal load whatever bytes the text happened to convert to.
TEST_P(PinPad, KeyTextsThatAreNotHexadecimalSendNothing) {
  char good[] = "0011223344556677";
  for (const char* bad : {"ZZZZZZZZZZZZZZZZ", "", "001122334455667", "0011 22334455667",
                          "00112233445566-7", "0x11223344556677", "001122334455667\n"}) {
    SCOPED_TRACE(std::string("key text \"") + bad + "\"");
    std::string text(bad);
    EXPECT_EQ(-1, TLX_UpdateMKey(Port(), 0, 9600, 0, &text[0], good));
    EXPECT_EQ(-1, TLX_UpdateMKey(Port(), 0, 9600, 0, good, &text[0]));
    EXPECT_EQ(-1, TLX_DownLoadWKey(Port(), 0, 9600, 0, 0, &text[0]));
  }
  EXPECT_TRUE(Settled().empty());
  {
    std::lock_guard<std::mutex> lock(impl().mu);
    EXPECT_TRUE(impl().state.masterKeys[0].empty());
    EXPECT_TRUE(impl().state.workKeys.empty());
  }
  // Either case is hexadecimal.
  char mixed[] = "00aaBBccDDeeFF11";
  EXPECT_EQ(0, TLX_UpdateMKey(Port(), 0, 9600, 0, mixed, good));
}

TEST_P(PinPad, PinLengthIsWriteOnly) {
  ASSERT_EQ(0, TLX_SetPinLen(Port(), 0, 9600, 6));
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(B("\x1b[1;6L"), sent[0]);
}

TEST_P(PinPad, KeyCommandPayloadsAreExact) {
  const std::string master = B("\x00\x11\x22\x33\x44\x55\x66\x00");
  std::string k1 = ToHex(master);
  std::string k2 = "00FFEEDDCCBBAA99";
  ASSERT_EQ(0, TLX_UpdateMKey(Port(), 0, 9600, 0, &k1[0], &k2[0]));
  std::string payload = std::string(1, '\0') + FromHex(k2) + master;
  EXPECT_EQ("\x1bM" + HexAsc1(payload) + "\r\n", Sent().back());

  std::string wk = "0000000011111111";
  ClearHistory();
  // Index 0 and a key that starts with zero bytes: sent in full.
  ASSERT_EQ(0, TLX_DownLoadWKey(Port(), 0, 9600, 0, 0, &wk[0]));
  ASSERT_EQ(1u, Sent().size());
  EXPECT_EQ("\x1bS" + HexAsc1(B("\x00\x00") + FromHex(wk)) + "\r\n", Sent()[0]);

  ClearHistory();
  // No work key 2 under master key 1: refused by the terminal.
  EXPECT_EQ(-7, TLX_ActiveWKey(Port(), 0, 9600, 1, 2));
  ASSERT_EQ(1u, Sent().size());
  EXPECT_EQ(B("\x1b"
              "A0102\r\n"),
            Sent()[0]);

  ClearHistory();
  ASSERT_EQ(0, TLX_ResetKey(Port(), 0, 9600));
  EXPECT_EQ(B("\x1bR\r\n"), Sent().at(0));
}

TEST_P(PinPad, KeyAcknowledgementMustBeTheSingleByte) {
  std::string k = "0123456789ABCDEFFEDCBA9876543210";
  SetFault("M", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, TLX_UpdateMKey(Port(), 0, 9600, 3, &k[0], &k[0]));
  SetFault("R", Fault{FaultKind::Garbage, 0, 1});
  EXPECT_EQ(-7, TLX_ResetKey(Port(), 0, 9600));
  SetFault("R", Fault{FaultKind::ExtraBytes, 0, 1});
  // The serial read keeps bytes behind the acknowledgement of the same
  // read; HID ends exactly at the first byte.
  EXPECT_EQ(Hid() ? 0 : -7, TLX_ResetKey(Port(), 0, 9600));
  EXPECT_EQ(0, TLX_ResetKey(Port(), 0, 9600));
}

TEST_P(PinPad, PlainPinModeZero) {
  SetPin("123456");
  char pin[64];
  std::memset(pin, 0x55, sizeof pin);
  ASSERT_EQ(0, TLX_ReadPin(Port(), 0, 9600, 0, 0, 5, pin, 64));
  EXPECT_STREQ("123456", pin);
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(4u, sent.size());
  EXPECT_EQ(B("\x1b[1;0X"), sent[0]);
  EXPECT_EQ(B("\x1b[1;5T"), sent[1]);
  EXPECT_EQ(B("\x82"), sent[2]);
  EXPECT_EQ(kPinEnd, sent[3]);

  // Too small a buffer: -10, nothing written, entry still ended.
  ClearHistory();
  char small[8] = "zzzzzzz";
  EXPECT_EQ(-10, TLX_ReadPin(Port(), 0, 9600, 0, 1, 5, small, 4));
  EXPECT_STREQ("zzzzzzz", small);
  EXPECT_EQ(B("\x81"), Sent().at(2));
  EXPECT_EQ(kPinEnd, Sent().back());

  // Exact fit: pinSize bytes, no terminator beyond them.
  char exact[8] = "zzzzzzz";
  ASSERT_EQ(0, TLX_ReadPin(Port(), 0, 9600, 0, 0, 5, exact, 6));
  EXPECT_EQ(0, std::memcmp(exact, "123456z", 7));
}

TEST_P(PinPad, PlainPinModeOnePacksNonZeroCharacters) {
  SetPin(
      B("1\x00"
        "2\x00"
        "34"));
  char pin[64] = {0};
  ASSERT_EQ(0, TLX_ReadPin(Port(), 0, 9600, 1, 0, 5, pin, 64));
  EXPECT_STREQ("1234", pin);
  EXPECT_EQ(B("\x1b[1;1X"), Sent().at(0));
  EXPECT_EQ(kPinEnd, Sent().back());

  char small[8] = "zzzzzzz";
  EXPECT_EQ(-10, TLX_ReadPin(Port(), 0, 9600, 1, 0, 5, small, 3));
  EXPECT_STREQ("zzzzzzz", small);
  EXPECT_EQ(kPinEnd, Sent().back());
}

// A block reply whose tag says another length than the block has is not a
// block: -7, nothing written, and the pad still gets its end byte.
TEST_P(PinPad, PinBlockWhoseTagDisagreesWithItsLengthIsRefused) {
  ASSERT_FALSE(LoadKeys().empty());
  SetPin("4839");
  const struct { int tag, option; } cases[] = {{0x20, 0}, {0x10, 2}, {0x30, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE("tag " + std::to_string(c.tag) + ", option " + std::to_string(c.option));
    {
      std::lock_guard<std::mutex> lock(impl().mu);
      impl().state.pinBlockTag = c.tag;
    }
    ClearHistory();
    char block[TLX_PIN_BLOCK_SIZE] = {0};
    EXPECT_EQ(-7, TLX_ReadPinDES(Port(), 0, 9600, 0, c.option, 5, block));
    EXPECT_STREQ("", block);
    EXPECT_EQ(kPinEnd, Sent().back());
    char account[] = "6222021234567890123";
    EXPECT_EQ(-7, TLX_ReadPinAnsi(Port(), 0, 9600, 0, c.option, 5, account, block));
    EXPECT_STREQ("", block);
    EXPECT_EQ(kPinEnd, Sent().back());
  }
  std::lock_guard<std::mutex> lock(impl().mu);
  impl().state.pinBlockTag = 0;
}

TEST_P(PinPad, PinBlockDecryptsToTypedPin) {
  std::string workKey = LoadKeys();
  ASSERT_FALSE(workKey.empty());
  SetPin("483920");
  ClearHistory();
  char block[TLX_PIN_BLOCK_SIZE] = {0};
  ASSERT_EQ(0, TLX_ReadPinDES(Port(), 0, 9600, 0, 0, 5, block));
  EXPECT_EQ(B("\x1b"
              "F00\r\n"),
            Sent().at(1));
  EXPECT_EQ(kPinEnd, Sent().back());
  std::string text(block);
  EXPECT_EQ(16u, text.size());
  EXPECT_EQ(std::string::npos, text.find_first_not_of("0123456789ABCDEF"));
  std::string pin;
  ASSERT_TRUE(tlxsim::DecryptPinBlock(workKey, FromHex(text), "", &pin));
  EXPECT_EQ("483920", pin);

  char ansi[TLX_PIN_BLOCK_SIZE] = {0};
  char account[] = "6222021234567890123";
  ClearHistory();
  // Option 2: the long form (tag 0x20, block and check value).
  ASSERT_EQ(0, TLX_ReadPinAnsi(Port(), 0, 9600, 1, 2, 5, account, ansi));
  EXPECT_EQ(B("\x1bI12") + account + "\r\n", Sent().at(1));
  EXPECT_GT(std::strlen(ansi), 16u);
  ASSERT_TRUE(tlxsim::DecryptPinBlock(workKey, FromHex(ansi), account, &pin));
  EXPECT_EQ("483920", pin);

  ClearHistory();
  char ansiEmpty[TLX_PIN_BLOCK_SIZE] = {0};
  ASSERT_EQ(0, TLX_ReadPinAnsi(Port(), 0, 9600, 0, 0, 5, nullptr, ansiEmpty));
  EXPECT_EQ(B("\x1bI00000000\r\n"), Sent().at(1));
}

TEST_P(PinPad, PinBlockReplyRefusedOrGarbled) {
  LoadKeys();
  SetPin("1234");
  char block[TLX_PIN_BLOCK_SIZE] = "keep";
  SetFault("F", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, TLX_ReadPinDES(Port(), 0, 9600, 0, 0, 5, block));
  SetFault("F", Fault{FaultKind::Garbage, 0, 1});
  EXPECT_EQ(-7, TLX_ReadPinDES(Port(), 0, 9600, 0, 0, 5, block));
  EXPECT_STREQ("keep", block);
  EXPECT_EQ(kPinEnd, Sent().back());
}

// One timeout case (serial): no reply within 1 s + 2 s, entry still ended.
TEST_F(CommandTest, PinEntryTimesOut) {
  SetFault("PIN", Fault{FaultKind::Silence, 0, -1});
  char pin[64] = {0};
  EXPECT_EQ(-2, TLX_ReadPin(SerialPort(), 0, 9600, 0, 0, 1, pin, 64));
  EXPECT_EQ(kPinEnd, Sent().back());
}

TEST_P(PinPad, CancelDuringEntry) {
  tlxsim::Customer c = terminal().GetCustomer();
  c.pin = tlxsim::Answer{true, 20000, "1234"};
  SetCustomer(c);
  std::atomic<int> rc{1};
  std::atomic<bool> done{false};
  char pin[64] = {0};
  std::thread entry([&] {
    rc = TLX_ReadPin(Port(), 0, 9600, 0, 0, 30, pin, 64);
    done = true;
  });
  int cancel = CancelAfter(B("\x82"), done);
  entry.join();
  EXPECT_EQ(0, cancel);
  EXPECT_EQ(-9, rc.load());
  EXPECT_EQ(kPinEnd, Sent().back());
  EXPECT_STREQ("", pin);
}

}  // namespace
}  // namespace tlxtest
