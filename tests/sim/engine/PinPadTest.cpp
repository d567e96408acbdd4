#include <openssl/evp.h>

#include "EngineTestUtil.h"
#include "HexAsc1.h"
#include "PinBlock.h"

namespace tlxsim {
namespace {

// 3DES-ECB decryption written against libcrypto directly, so that the
// engine's own cipher code is not checking itself.
std::string Decrypt(const std::string& key16, const std::string& data) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_DecryptInit_ex(ctx, EVP_des_ede_ecb(), nullptr,
                     reinterpret_cast<const unsigned char*>(key16.data()), nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  std::string out(data.size() + 8, '\0');
  int n1 = 0, n2 = 0;
  EVP_DecryptUpdate(ctx, reinterpret_cast<unsigned char*>(&out[0]), &n1,
                    reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
  EVP_DecryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(&out[0]) + n1, &n2);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(size_t(n1 + n2));
  return out;
}

std::string Encrypt(const std::string& key16, const std::string& data) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(ctx, EVP_des_ede_ecb(), nullptr,
                     reinterpret_cast<const unsigned char*>(key16.data()), nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  std::string out(data.size() + 8, '\0');
  int n1 = 0, n2 = 0;
  EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(&out[0]), &n1,
                    reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
  EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(&out[0]) + n1, &n2);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(size_t(n1 + n2));
  return out;
}

std::string Line(char letter, const std::string& payload) {
  return std::string("\x1b") + letter + HexAsc1Encode(payload) + "\r\n";
}

class PinPad : public EngineTest {
 protected:
  // key2 = left half, key1 = right half of the master key.
  const std::string key2 = B("\x01\x23\x45\x67\x89\xab\xcd\x00", 8);
  const std::string key1 = B("\xfe\xdc\xba\x98\x76\x54\x32\x10", 8);
  const std::string work =
      B("\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff\x00", 16);

  void LoadKeys(int mk = 3, int wk = 5) {
    ASSERT_EQ(Exchange(Line('M', std::string(1, char(mk)) + key2 + key1)), "\xaa");
    ASSERT_EQ(Exchange(Line('S', std::string{char(mk), char(wk)} + Encrypt(key2 + key1, work))),
              "\xaa");
    ASSERT_EQ(Exchange(Line('A', std::string{char(mk), char(wk)})), "\xaa");
  }

  void SetUp() override {
    EngineTest::SetUp();
    Customer c;
    c.pin = Answer{true, 800, "123456"};
    engine.SetCustomer(c);
  }
};

TEST_F(PinPad, KeysAreStoredDecryptedAndActivated) {
  LoadKeys(0, 0);
  EXPECT_EQ(impl().state.masterKeys[0], key2 + key1);
  EXPECT_EQ((impl().state.workKeys[{0, 0}]), work);
  EXPECT_EQ(impl().state.activeMaster, 0);
  EXPECT_EQ(impl().state.activeWork, 0);
}

TEST_F(PinPad, KeyCommandsRefusedWithoutTheirPrerequisites) {
  // Work key under a master key never loaded; activation of a missing key;
  // a master key of 12 bytes; an index above 15.
  EXPECT_EQ(Exchange(Line('S', B("\x02\x01", 2) + work)), kNak);
  EXPECT_EQ(Exchange(Line('A', B("\x02\x01", 2))), kNak);
  EXPECT_EQ(Exchange(Line('M', B("\x01", 1) + std::string(12, 'k'))), kNak);
  EXPECT_EQ(Exchange(Line('M', B("\x10", 1) + key2 + key1)), kNak);
  EXPECT_TRUE(impl().state.masterKeys[1].empty());
}

TEST_F(PinPad, ResetForgetsEveryKey) {
  LoadKeys();
  EXPECT_EQ(Exchange("\x1bR\r\n"), "\xaa");
  EXPECT_TRUE(impl().state.masterKeys[3].empty());
  EXPECT_TRUE(impl().state.workKeys.empty());
  EXPECT_EQ(impl().state.activeMaster, -1);
  EXPECT_EQ(Exchange("\x1b"
                     "F00\r\n"),
            kNak);  // no active key any more
}

TEST_F(PinPad, LengthModeAndTimeoutAreWriteOnly) {
  EXPECT_EQ(Exchange("\x1b[1;12L\x1b[1;1X\x1b[1;45T"), "");
  EXPECT_EQ(impl().state.pinLength, 12);
  EXPECT_EQ(impl().state.pinMode, 1);
  EXPECT_EQ(impl().state.pinTimeout, 45);
  EXPECT_EQ(Exchange("\x1b[1;15L\x1b[1;2X\x1b[1;1000T"), "");  // out of range: kept
  EXPECT_EQ(impl().state.pinLength, 12);
  EXPECT_EQ(impl().state.pinMode, 1);
  EXPECT_EQ(impl().state.pinTimeout, 45);
}

TEST_F(PinPad, PlainEntryAnswersAfterTheCustomerTyped) {
  Send("\x1b[1;0X\x1b[1;30T\x82");
  EXPECT_EQ(Out(799), "");
  EXPECT_EQ(Out(800), "123456\r");
  Send("\x83\x1b[1;1X\x81");
  EXPECT_EQ(Out(800), B("1\0"
                        "2\0"
                        "3\0"
                        "4\0"
                        "5\0"
                        "6\0"
                        "\r",
                        13));
}

TEST_F(PinPad, PlainEntryIsCutToThePinLength) {
  Send("\x1b[1;4L\x82");
  EXPECT_EQ(Out(1000), "1234\r");
}

TEST_F(PinPad, EndOfEntryDropsThePendingPin) {
  Send("\x82");
  Send("\x83", Link::Serial, 100);
  EXPECT_EQ(Out(5000), "");
  EXPECT_FALSE(impl().state.pinEntry);
}

TEST_F(PinPad, NoPinWithinTheEntryTimeoutGivesNoAnswer) {
  Customer c;
  c.pin = Answer{false, 0, ""};
  engine.SetCustomer(c);
  LoadKeys();
  Send(
      "\x1b[1;1T\x82\x1b"
      "F00\r\n");
  EXPECT_EQ(Out(60000), "");
  c.pin = Answer{true, 1500, "1234"};  // slower than the 1 s entry timeout
  engine.SetCustomer(c);
  Send("\x82");
  EXPECT_EQ(Out(60000), "");
}

// Decodes STX HexAsc1(tag + block) ETX.
void Frame(const std::string& reply, char* tag, std::string* block) {
  ASSERT_GE(reply.size(), 4u);
  ASSERT_EQ(reply.front(), '\x02');
  ASSERT_EQ(reply.back(), '\x03');
  std::string bytes;
  ASSERT_TRUE(HexAsc1Decode(reply.substr(1, reply.size() - 2), &bytes));
  *tag = bytes[0];
  *block = bytes.substr(1);
}

TEST_F(PinPad, DesBlockIsFormatZeroWithAZeroAccount) {
  LoadKeys();
  Send(
      "\x1b"
      "F02\r\n" +
      std::string(""));
  char tag = 0;
  std::string block;
  // option 2: block and work key check value, tag 0x20
  Frame(Out(800), &tag, &block);
  EXPECT_EQ(tag, 0x20);
  ASSERT_EQ(block.size(), 16u);
  EXPECT_EQ(Decrypt(work, block.substr(0, 8)), B("\x06\x12\x34\x56\xff\xff\xff\xff", 8));
  EXPECT_EQ(Decrypt(work, block.substr(8)), std::string(8, '\0'));
  Send(
      "\x83\x1b"
      "F10\r\n");
  Frame(Out(800), &tag, &block);
  EXPECT_EQ(tag, 0x10);
  ASSERT_EQ(block.size(), 8u);
  std::string pin;
  EXPECT_TRUE(DecryptPinBlock(work, block, "", &pin));
  EXPECT_EQ(pin, "123456");
}

TEST_F(PinPad, AnsiBlockBindsTheAccountNumber) {
  LoadKeys();
  Send("\x1bI004000001234567899\r\n");
  char tag = 0;
  std::string block;
  Frame(Out(800), &tag, &block);
  EXPECT_EQ(tag, 0x10);
  // PIN field 06 12 34 56 FF FF FF FF XOR account field 00 00 00 01 23 45 67 89
  // (12 rightmost digits without the check digit).
  EXPECT_EQ(Decrypt(work, block), B("\x06\x12\x34\x57\xdc\xba\x98\x76", 8));
  std::string pin;
  EXPECT_TRUE(DecryptPinBlock(work, block, "4000001234567899", &pin));
  EXPECT_EQ(pin, "123456");
  EXPECT_FALSE(DecryptPinBlock(work, block, "", &pin) && pin == "123456");
}

TEST_F(PinPad, FormatOneBlockNeedsNoAccount) {
  LoadKeys();
  Send("\x1bI11000000\r\n");
  char tag = 0;
  std::string block;
  Frame(Out(800), &tag, &block);
  std::string clear = Decrypt(work, block);
  EXPECT_EQ(static_cast<unsigned char>(clear[0]), 0x16u);
  std::string pin;
  EXPECT_TRUE(DecryptPinBlock(work, block, "", &pin));
  EXPECT_EQ(pin, "123456");
}

TEST_F(PinPad, BadBlockRequestsAreRefused) {
  LoadKeys();
  EXPECT_EQ(Exchange("\x1b"
                     "F04\r\n"),
            kNak);                                               // option 4
  EXPECT_EQ(Exchange("\x1bI0012a4\r\n"), kNak);                  // account not digits
  EXPECT_EQ(Exchange("\x1bI0012345678901234567890\r\n"), kNak);  // 20 digits
}

TEST_F(PinPad, LogMasksKeysAndPins) {
  LoadKeys();
  Send("\x82");
  Out(800);
  std::string all;
  for (const auto& l : log) all += l + "\n";
  EXPECT_NE(all.find("M 3 ****"), std::string::npos) << all;
  EXPECT_NE(all.find("S 3 5 ****"), std::string::npos) << all;
  EXPECT_EQ(all.find("123456"), std::string::npos) << all;
  EXPECT_EQ(all.find(HexAsc1Encode(key2)), std::string::npos) << all;
  EXPECT_NE(all.find("masked"), std::string::npos) << all;
}

}  // namespace
}  // namespace tlxsim
