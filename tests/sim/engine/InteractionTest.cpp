#include <filesystem>
#include <fstream>

#include "EngineTestUtil.h"
#include "HexAsc1.h"

namespace tlxsim {
namespace {

class Interaction : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Customer c;
    c.info = Answer{true, 700, "B1F"};
    c.evaluator = Answer{true, 900, "B2F"};
    c.keypadAmount = Answer{true, 500, "250.00"};
    c.keypadPhone = Answer{true, 600, "13912345678"};
    c.sign = Answer{true, 1200, ""};
    engine.SetCustomer(c);
  }
  void NoAnswer(Answer Customer::*which) {
    Customer c = engine.GetCustomer();
    (c.*which).answers = false;
    engine.SetCustomer(c);
  }
  void PutDocument(const std::string& terminalPath) {
    ASSERT_TRUE(impl().WriteTerminalFile(terminalPath, "%PDF-1.4 document"));
  }
};

TEST_F(Interaction, InformationIsAnsweredAfterTheCustomersDelay) {
  // GBK text "\xc4\xe3\xba\xc3" followed by ASCII.
  std::string text("\xc4\xe3\xba\xc3 ok", 7);
  Send("\x1b[2C\x1b[2;20T\x1b[2A\x02" + HexAsc1Encode(text) + "\x03");
  EXPECT_EQ(impl().state.infoText, text);
  EXPECT_EQ(impl().state.moduleTimeout[2], 20);
  EXPECT_EQ(Out(699), "");
  EXPECT_EQ(Out(700), "B1F");
}

TEST_F(Interaction, InformationTimeoutAnswerComesAtTheModuleTimeout) {
  NoAnswer(&Customer::info);
  Send(
      "\x1b[2;1T\x1b[2A\x02"
      "4142\x03");
  EXPECT_EQ(NextDueMs(), 1000);
  EXPECT_EQ(Out(999), "");
  EXPECT_EQ(Out(1000), "B3F");
}

TEST_F(Interaction, CustomerSlowerThanTheTimeoutGetsTheTimeoutAnswer) {
  Customer c = engine.GetCustomer();
  c.evaluator.delayMs = 5000;
  engine.SetCustomer(c);
  Send("\x1b[4;2T\x1b[4R");
  EXPECT_EQ(Out(10000), "B0F");
  EXPECT_EQ(NextDueMs(), -1);
}

TEST_F(Interaction, EvaluatorHeaderAndAnswer) {
  std::string name("\xd5\xc5|\xc8\xfd", 5);  // '|' as a GBK trail byte
  Send("\x1b[4H\x02" + name + "|1001|5|1001.jpg\x03\x1b[4;30T\x1b[4R");
  EXPECT_EQ(impl().state.evaluator.tellerName, name);
  EXPECT_EQ(impl().state.evaluator.tellerNo, "1001");
  EXPECT_EQ(impl().state.evaluator.stars, 5);
  EXPECT_EQ(impl().state.evaluator.photo, "1001.jpg");
  EXPECT_EQ(Out(900), "B2F");
}

TEST_F(Interaction, ClosingAModuleDropsItsPendingAnswer) {
  Send("\x1b[4R");
  Send("\x1b[4C", Link::Serial, 300);
  Send("\x1b[5;30T\x1bGM\r\n", Link::Serial, 400);
  // The evaluator's answer is gone; the keypad's still comes.
  EXPECT_EQ(Out(60000), "B250.00F");
}

TEST_F(Interaction, KeypadAnswersAndTimeout) {
  EXPECT_EQ(Exchange("\x1b[5;30T\x1b"
                     "FA\r\n",
                     Link::Hid, 600),
            "B13912345678F");
  NoAnswer(&Customer::keypadAmount);
  Send("\x1b[5;1T\x1bGM\r\n");
  EXPECT_EQ(Out(1000), "BF");
}

TEST_F(Interaction, SignatureNeedsItsDocument) {
  EXPECT_EQ(Exchange("\x1b[2HANDSIGN\x02"
                     "3|30\x03",
                     Link::Hid, 5000),
            kNak);
  PutDocument("/tmp/infoviewer.jpg");  // kind 2, not 3
  EXPECT_EQ(Exchange("\x1b[2HANDSIGN\x02"
                     "3|30\x03",
                     Link::Hid, 5000),
            kNak);
  EXPECT_FALSE(std::filesystem::exists(storage + "/tmp/hw.png"));
}

TEST_F(Interaction, UnsignedDocumentIsRefusedAtTheSigningTimeout) {
  PutDocument("/tmp/infoviewer.pdf");
  NoAnswer(&Customer::sign);
  Send(
      "\x1b[2HANDSIGN\x02"
      "3|1\x03",
      Link::Hid);
  EXPECT_EQ(Out(999, Link::Hid), "");
  EXPECT_EQ(Out(1000, Link::Hid), kNak);
  EXPECT_FALSE(std::filesystem::exists(storage + "/tmp/hw.png"));
}

uint32_t BitCrc(const std::string& s) {
  uint32_t c = 0xFFFFFFFF;
  for (unsigned char b : s) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

uint32_t Be32(const std::string& s, size_t off) {
  return (uint32_t(uint8_t(s[off])) << 24) | (uint32_t(uint8_t(s[off + 1])) << 16) |
         (uint32_t(uint8_t(s[off + 2])) << 8) | uint8_t(s[off + 3]);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(Interaction, SignatureLeavesARealPngAndATrajectory) {
  PutDocument("/tmp/infoviewer.pdf");
  Send(
      "\x1b[2C\x1b[2HANDSIGN\x02"
      "3|30\x03",
      Link::Hid);
  EXPECT_EQ(Out(1199, Link::Hid), "");
  EXPECT_FALSE(std::filesystem::exists(storage + "/tmp/hw.png"));
  EXPECT_EQ(Out(1200, Link::Hid), kAck);
  EXPECT_EQ(impl().state.signKind, 3);
  EXPECT_EQ(impl().state.signTimeout, 30);

  std::string png = ReadFile(storage + "/tmp/hw.png");
  ASSERT_GT(png.size(), 8u);
  ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  // Walk the chunks, checking every CRC; gather IDAT.
  size_t off = 8;
  std::string idat, types;
  uint32_t width = 0, height = 0;
  while (off + 12 <= png.size()) {
    uint32_t len = Be32(png, off);
    ASSERT_LE(off + 12 + len, png.size());
    std::string type = png.substr(off + 4, 4);
    std::string body = png.substr(off + 4, 4 + len);
    EXPECT_EQ(Be32(png, off + 8 + len), BitCrc(body)) << type;
    if (type == "IHDR") {
      width = Be32(png, off + 8);
      height = Be32(png, off + 12);
      EXPECT_EQ(png[off + 16], 8);  // bit depth
      EXPECT_EQ(png[off + 17], 0);  // grayscale
    }
    if (type == "IDAT") idat += png.substr(off + 8, len);
    types += type + " ";
    off += 12 + len;
  }
  EXPECT_EQ(types, "IHDR IDAT IEND ");
  EXPECT_EQ(off, png.size());
  // zlib with stored blocks: inflate by hand, check Adler32, find ink.
  ASSERT_GT(idat.size(), 6u);
  EXPECT_EQ((uint8_t(idat[0]) * 256 + uint8_t(idat[1])) % 31, 0);
  std::string raw;
  size_t p = 2;
  bool last = false;
  while (!last) {
    ASSERT_LE(p + 5, idat.size());
    last = idat[p] & 1;
    EXPECT_EQ((idat[p] >> 1) & 3, 0);  // stored
    uint16_t len = uint16_t(uint8_t(idat[p + 1]) | (uint8_t(idat[p + 2]) << 8));
    uint16_t nlen = uint16_t(uint8_t(idat[p + 3]) | (uint8_t(idat[p + 4]) << 8));
    EXPECT_EQ(uint16_t(~nlen), len);
    raw += idat.substr(p + 5, len);
    p += 5 + len;
  }
  uint32_t a = 1, b = 0;
  for (unsigned char ch : raw) a = (a + ch) % 65521, b = (b + a) % 65521;
  EXPECT_EQ(Be32(idat, p), (b << 16) | a);
  ASSERT_EQ(raw.size(), size_t(height) * (width + 1));
  size_t ink = 0;
  for (unsigned char ch : raw) ink += ch < 0x80;
  EXPECT_GT(ink, size_t(height) + 200);

  std::string xml = ReadFile(storage + "/tmp/hw.xml");
  EXPECT_EQ(xml.rfind("<?xml", 0), 0u);
  EXPECT_NE(xml.find("<stroke>"), std::string::npos);
  EXPECT_NE(xml.find("pressure=\""), std::string::npos);
  EXPECT_NE(xml.find("time=\""), std::string::npos);
  EXPECT_NE(xml.find("</signature>"), std::string::npos);
}

}  // namespace
}  // namespace tlxsim
