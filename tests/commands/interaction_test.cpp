// Customer interaction commands end to end: information, evaluator, keypad
// and the signature flow.
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "CommandTest.h"
#include "compat/util.h"

namespace tlxtest {
namespace {

class Interaction : public LinkTest {
 protected:
  void Customer(tlxsim::Answer tlxsim::Customer::*field, tlxsim::Answer a) {
    tlxsim::Customer c = terminal().GetCustomer();
    c.*field = a;
    SetCustomer(c);
  }
};
TLX_BOTH_LINKS(Interaction);

TEST_P(Interaction, RangeChecksSendNothing) {
  int result = 9;
  char info[] = "hello";
  char empty[] = "";
  char name[] = "Li", no[] = "1001", input[64] = {0};
  EXPECT_EQ(-1, TLX_StartInfo(Port(), 0, 9600, 5, empty, &result));
  EXPECT_EQ(-1, TLX_StartInfo(Port(), 0, 9600, 5, nullptr, &result));
  EXPECT_EQ(-1, TLX_StartInfo(Port(), 0, 9600, 1000, info, &result));
  EXPECT_EQ(-1, TLX_StartInfo(Port(), 0, 9600, 0, info, &result));
  EXPECT_EQ(-1, TLX_StartInfo(Port(), 0, 9600, 5, info, nullptr));
  std::string huge(TLX_MAX_INFO_TEXT + 1, 'x');
  EXPECT_EQ(-1, TLX_StartInfo(Port(), 0, 9600, 5, &huge[0], &result));
  EXPECT_EQ(-1, TLX_StartEvaluator(Port(), 0, 9600, name, no, 7, nullptr, 5, &result));
  EXPECT_EQ(-1, TLX_StartEvaluator(Port(), 0, 9600, nullptr, no, 3, nullptr, 5, &result));
  EXPECT_EQ(-1, TLX_StartEvaluator(Port(), 0, 9600, name, nullptr, 3, nullptr, 5, &result));
  EXPECT_EQ(-1, TLX_StartEvaluator(Port(), 0, 9600, name, no, 3, nullptr, 5, nullptr));
  EXPECT_EQ(-1, TLX_StartEvaluator(Port(), 0, 9600, name, no, 3, nullptr, 1000, &result));
  EXPECT_EQ(-1, TLX_StartKeyboard(Port(), 0, 9600, 5, 2, input));
  EXPECT_EQ(-1, TLX_StartKeyboard(Port(), 0, 9600, 5, 0, nullptr));
  EXPECT_EQ(-1, TLX_StartKeyboard(Port(), 0, 9600, 0, 0, input));
  EXPECT_EQ(9, result);
  EXPECT_TRUE(Settled().empty());
}

TEST_P(Interaction, InformationAnswers) {
  char text[] = "AB";
  const struct {
    const char* answer;
    int result;
  } cases[] = {{"B0F", 0}, {"B1F", 1}, {"B2F", 4}, {"B3F", 3}, {"B9F", 4}};
  for (const auto& c : cases) {
    Customer(&tlxsim::Customer::info, tlxsim::Answer{true, 20, c.answer});
    ClearHistory();
    int result = -100;
    ASSERT_EQ(0, TLX_StartInfo(Port(), 0, 9600, 5, text, &result)) << c.answer;
    EXPECT_EQ(c.result, result) << c.answer;
    std::vector<std::string> expected = {B("\x1b[2C"), B("\x1b[2;5T"),
                                         B("\x1b[2A\x02"
                                           "4142\x03"),
                                         B("\x1b[2C")};
    EXPECT_EQ(expected, Sent());
  }
}

TEST_P(Interaction, LongestInformationText) {
  std::string text = Pattern(TLX_MAX_INFO_TEXT, 11);
  for (char& c : text)
    if (c == '\0') c = 'x';
  Customer(&tlxsim::Customer::info, tlxsim::Answer{true, 0, "B0F"});
  int result = -100;
  ASSERT_EQ(0, TLX_StartInfo(Port(), 0, 9600, 5, &text[0], &result));
  EXPECT_EQ(0, result);
  EXPECT_TRUE(WasSent("\x1b[2A\x02" + HexAsc1(text) + "\x03"));
}

// GBK byte 0x80 stands for itself (no lead byte of a double-byte code): the
// text crosses either link as it is, and the library's conversion of what
// the terminal shows gives the single unit U+0080 between its neighbours.
TEST_P(Interaction, InformationWithGbkByte0x80) {
  char text[] =
      "A\x80"
      "B\xb0\xa1\x80";
  Customer(&tlxsim::Customer::info, tlxsim::Answer{true, 0, "B0F"});
  int result = -100;
  ASSERT_EQ(0, TLX_StartInfo(Port(), 0, 9600, 5, text, &result));
  EXPECT_TRUE(WasSent(B("\x1b[2A\x02") + HexAsc1(text) + "\x03"));
  std::string shown;
  {
    std::lock_guard<std::mutex> lock(impl().mu);
    shown = impl().state.infoText;
  }
  ASSERT_EQ(std::string(text), shown);
  unsigned short units[8] = {0};
  ASSERT_EQ(5, ANSIToUTF8(shown.c_str(), sizeof units, reinterpret_cast<char*>(units)));
  const unsigned short expected[5] = {0x0041, 0x0080, 0x0042, 0x554A, 0x0080};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(expected[i], units[i]) << i;
}

TEST_P(Interaction, EvaluatorAnswers) {
  char name[] = "Wang", no[] = "1001";
  const struct {
    const char* answer;
    int result;
  } cases[] = {{"B0F", 4}, {"B1F", 1}, {"B2F", 2}, {"B3F", 3}, {"B9F", -100}};
  for (const auto& c : cases) {
    Customer(&tlxsim::Customer::evaluator, tlxsim::Answer{true, 20, c.answer});
    ClearHistory();
    int result = -100;
    ASSERT_EQ(0, TLX_StartEvaluator(Port(), 0, 9600, name, no, 5, nullptr, 5, &result));
    EXPECT_EQ(c.result, result) << c.answer;
    std::vector<std::string> expected = {B("\x1b[4H\x02Wang|1001|5|1001.jpg\x03"), B("\x1b[4;5T"),
                                         B("\x1b[4R"), B("\x1b[4C")};
    EXPECT_EQ(expected, Sent());
  }
  char photo[] = "teller.png";
  int result = 0;
  ClearHistory();
  ASSERT_EQ(0, TLX_StartEvaluator(Port(), 0, 9600, name, no, 0, photo, 5, &result));
  EXPECT_EQ(B("\x1b[4H\x02Wang|1001|0|teller.png\x03"), Sent().at(0));
}

TEST_P(Interaction, EvaluatorPhotoNameFromLongTellerNumber) {
  Customer(&tlxsim::Customer::evaluator, tlxsim::Answer{true, 0, "B1F"});
  char name[] = "Wang";
  // "<number>.jpg" is longer than 127 characters: its first 127 are taken.
  std::string no(130, '9');
  int result = 0;
  ASSERT_EQ(0, TLX_StartEvaluator(Port(), 0, 9600, name, &no[0], 2, nullptr, 5, &result));
  EXPECT_EQ(1, result);
  EXPECT_EQ(B("\x1b[4H\x02Wang|") + no + "|2|" + std::string(127, '9') + B("\x03"), Sent().at(0));
  // 123 digits and ".jpg" are exactly 127 characters.
  std::string shorter(123, '8');
  ClearHistory();
  ASSERT_EQ(0, TLX_StartEvaluator(Port(), 0, 9600, name, &shorter[0], 2, nullptr, 5, &result));
  EXPECT_EQ(B("\x1b[4H\x02Wang|") + shorter + "|2|" + shorter + ".jpg" + B("\x03"), Sent().at(0));
}

TEST_P(Interaction, KeypadEntry) {
  Customer(&tlxsim::Customer::keypadAmount, tlxsim::Answer{true, 20, "12345"});
  char input[TLX_KEYPAD_INPUT_SIZE];
  std::memset(input, 'z', sizeof input);
  ASSERT_EQ(0, TLX_StartKeyboard(Port(), 0, 9600, 5, 0, input));
  EXPECT_STREQ("12345", input);
  std::vector<std::string> expected = {B("\x1b[5;5T"), B("\x1bGM\r\n"), B("\x1b[5C")};
  EXPECT_EQ(expected, Sent());

  Customer(&tlxsim::Customer::keypadPhone, tlxsim::Answer{true, 20, "13800138000"});
  ClearHistory();
  ASSERT_EQ(0, TLX_StartKeyboard(Port(), 0, 9600, 5, 1, input));
  EXPECT_STREQ("13800138000", input);
  EXPECT_EQ(B("\x1b"
              "FA\r\n"),
            Sent().at(1));

  // Longer than the 64-byte area: refused, nothing written.
  Customer(&tlxsim::Customer::keypadPhone,
           tlxsim::Answer{true, 20, std::string(TLX_KEYPAD_INPUT_SIZE, '7')});
  char keep[TLX_KEYPAD_INPUT_SIZE] = "keep";
  EXPECT_EQ(-10, TLX_StartKeyboard(Port(), 0, 9600, 5, 1, keep));
  EXPECT_STREQ("keep", keep);
  EXPECT_EQ(B("\x1b[5C"), Sent().back());
  // 63 characters fit with their terminator.
  Customer(&tlxsim::Customer::keypadPhone,
           tlxsim::Answer{true, 20, std::string(TLX_KEYPAD_INPUT_SIZE - 1, '7')});
  ASSERT_EQ(0, TLX_StartKeyboard(Port(), 0, 9600, 5, 1, keep));
  EXPECT_EQ(std::string(TLX_KEYPAD_INPUT_SIZE - 1, '7'), std::string(keep));
}

// The customer does nothing: the terminal's own timeout answer.
TEST_P(Interaction, TerminalTimeoutAnswer) {
  Customer(&tlxsim::Customer::info, tlxsim::Answer{false, 0, ""});
  char text[] = "x";
  int result = -100;
  ASSERT_EQ(0, TLX_StartInfo(Port(), 0, 9600, 1, text, &result));
  EXPECT_EQ(3, result);
  Customer(&tlxsim::Customer::evaluator, tlxsim::Answer{false, 0, ""});
  char name[] = "Li", no[] = "7";
  ASSERT_EQ(0, TLX_StartEvaluator(Port(), 0, 9600, name, no, 1, nullptr, 1, &result));
  EXPECT_EQ(4, result);
}

// Library timeouts (serial only, short): no answer at all gives -2 and the
// module is still closed.
TEST_F(CommandTest, InteractionLibraryTimeouts) {
  SetFault("2A", Fault{FaultKind::Silence, 0, -1});
  char text[] = "x";
  int result = -100;
  EXPECT_EQ(-2, TLX_StartInfo(SerialPort(), 0, 9600, 1, text, &result));
  EXPECT_EQ(-100, result);
  EXPECT_EQ(B("\x1b[2C"), Sent().back());
  SetFault("GM", Fault{FaultKind::Silence, 0, -1});
  char input[64] = {0};
  EXPECT_EQ(-2, TLX_StartKeyboard(SerialPort(), 0, 9600, 1, 0, input));
  EXPECT_EQ(B("\x1b[5C"), Sent().back());
}

TEST_P(Interaction, CancelFromSecondThreadClosesModule) {
  Customer(&tlxsim::Customer::keypadPhone, tlxsim::Answer{true, 20000, "1"});
  std::atomic<int> rc{1};
  std::atomic<bool> done{false};
  char input[64] = {0};
  std::thread worker([&] {
    rc = TLX_StartKeyboard(Port(), 0, 9600, 30, 1, input);
    done = true;
  });
  int cancel = CancelAfter(B("\x1b"
                             "FA\r\n"),
                           done);
  worker.join();
  EXPECT_EQ(0, cancel);
  EXPECT_EQ(-9, rc.load());
  EXPECT_EQ(B("\x1b[5C"), Sent().back());
  EXPECT_STREQ("", input);
}

TEST_P(Interaction, SecondCommandWhileOneRunsIsRefused) {
  Customer(&tlxsim::Customer::evaluator, tlxsim::Answer{true, 1500, "B1F"});
  std::atomic<int> rc{1};
  std::atomic<bool> done{false};
  int result = 0;
  char name[] = "Li", no[] = "7";
  std::thread worker([&] {
    rc = TLX_StartEvaluator(Port(), 0, 9600, name, no, 1, nullptr, 10, &result);
    done = true;
  });
  for (int i = 0; i < 200 && !done && !WasSent(B("\x1b[4R")); ++i) {
  }
  EXPECT_FALSE(done.load()) << "the evaluation ended before the second command";
  char version[TLX_VERSION_SIZE] = {0};
  size_t before = History().size();
  EXPECT_EQ(-3, TLX_GetVer(Port(), 0, 9600, version));
  EXPECT_EQ(-3, TLX_SetPinLen(Port(), 0, 9600, 6));
  EXPECT_EQ(before, History().size());
  worker.join();
  EXPECT_EQ(0, rc.load());
  EXPECT_EQ(1, result);
  EXPECT_EQ(0, TLX_GetVer(Port(), 0, 9600, version));
}

// Signature: whatever port is named, everything after the flush runs on HID.
class Signature : public CommandTest {
 protected:
  Signature() { options_.serialPorts = {2}; }
};

// The signature checks its arguments after the flush, which uses the
// caller's link: on a shared serial port the flush's channel selector and
// reset are all that goes out, and nothing reaches the HID side.
TEST_F(Signature, ArgumentsAreCheckedAfterTheFlush) {
  std::string pdf = Scratch("a.pdf");
  WriteFile(pdf, "%PDF-1.4");
  char doc[] = "contract.doc", img[] = "/tmp/x.png", dat[] = "/tmp/x.xml", empty[] = "";
  const std::vector<std::string> flush = {B("\x1b%B"), B("\x1b%A")};
  const struct {
    const char* what;
    int timeout;
    char* document;
    char* image;
  } cases[] = {{"a .doc document", 5, doc, img},
               {"no document", 5, nullptr, img},
               {"timeout 0", 0, &pdf[0], img},
               {"timeout 1000", 1000, &pdf[0], img},
               {"empty image path", 5, &pdf[0], empty}};
  for (const auto& c : cases) {
    ClearHistory();
    EXPECT_EQ(-1, TLX_StartSign(2, 'B', 9600, c.timeout, c.document, c.image, dat)) << c.what;
    std::vector<std::string> bytes;
    for (const auto& r : Settled()) {
      EXPECT_EQ(Link::Serial, r.link) << c.what;
      bytes.push_back(r.bytes);
    }
    EXPECT_EQ(flush, bytes) << c.what;
  }
  // Another command's range check still comes before its flush.
  ClearHistory();
  int result = 0;
  EXPECT_EQ(-1, TLX_StartInfo(2, 'B', 9600, 1000, doc, &result));
  EXPECT_TRUE(Settled().empty());
}

TEST_F(Signature, UpperCasePdfOverPortTwoRunsOnHid) {
  std::string doc = Scratch("Contract.PDF");
  const std::string docBytes = Pattern(5000);
  WriteFile(doc, docBytes);
  std::string img = Scratch("hw.png"), dat = Scratch("hw.xml");
  ASSERT_EQ(0, TLX_StartSign(2, 'B', 9600, 5, &doc[0], &img[0], &dat[0]));

  for (const auto& r : Settled()) {
    if (r.link == Link::Serial) {
      EXPECT_EQ(3u, r.bytes.size()) << "only the flush's channel sequences on serial";
    }
  }
  std::vector<std::string> hid = SentOn(Link::Hid);
  ASSERT_GE(hid.size(), 6u);
  EXPECT_EQ(B("\x1b[0HIDCHANGE"), hid[0]);
  std::string stored;
  ASSERT_TRUE(impl().ReadTerminalFile("/tmp/infoviewer.pdf", &stored));
  EXPECT_EQ(docBytes, stored);
  EXPECT_TRUE(
      WasSent(B("\x1b[2HANDSIGN\x02"
                "3|5\x03")));
  EXPECT_TRUE(WasSent(B("\x1b[0PULLFILE\x02/tmp/hw.png\x03")));
  EXPECT_TRUE(WasSent(B("\x1b[0PULLFILE\x02/tmp/hw.xml\x03")));

  std::string png, xml;
  ASSERT_TRUE(impl().ReadTerminalFile("/tmp/hw.png", &png));
  ASSERT_TRUE(impl().ReadTerminalFile("/tmp/hw.xml", &xml));
  EXPECT_FALSE(png.empty());
  EXPECT_EQ(png, ReadFile(img));
  EXPECT_EQ(xml, ReadFile(dat));
}

TEST_F(Signature, HtmlAndJpgKinds) {
  std::string img = Scratch("i.png"), dat = Scratch("d.xml");
  std::string html = Scratch("page.Html");
  WriteFile(html, "<p>sign</p>");
  ASSERT_EQ(0, TLX_StartSign(0, 0, 9600, 5, &html[0], &img[0], &dat[0]));
  EXPECT_TRUE(
      WasSent(B("\x1b[2HANDSIGN\x02"
                "1|5\x03")));
  std::string jpg = Scratch("scan.jpg");
  WriteFile(jpg, Pattern(300));
  ASSERT_EQ(0, TLX_StartSign(0, 0, 9600, 5, &jpg[0], &img[0], &dat[0]));
  EXPECT_TRUE(
      WasSent(B("\x1b[2HANDSIGN\x02"
                "2|5\x03")));
}

TEST_F(Signature, FailedPullRemovesLocalFile) {
  std::string doc = Scratch("a.pdf");
  WriteFile(doc, "%PDF-1.4");
  std::string img = Scratch("hw.png"), dat = Scratch("hw.xml");
  SetFault("PULLFILE", Fault{FaultKind::BadPullChecksum, 0, 1});
  EXPECT_EQ(-7, TLX_StartSign(0, 0, 9600, 5, &doc[0], &img[0], &dat[0]));
  EXPECT_FALSE(FileExists(img));
  EXPECT_FALSE(FileExists(dat));
  EXPECT_TRUE(
      WasSent(B("\x1b[0RESPONSE\x02"
                "1\x03")));
}

TEST_F(Signature, RefusedSigningClosesScreen) {
  std::string doc = Scratch("a.pdf");
  WriteFile(doc, "%PDF-1.4");
  std::string img = Scratch("hw.png"), dat = Scratch("hw.xml");
  SetFault("HANDSIGN", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, TLX_StartSign(0, 0, 9600, 5, &doc[0], &img[0], &dat[0]));
  EXPECT_EQ(B("\x1b[2C"), Sent().back());
  EXPECT_FALSE(WasSent(B("\x1b[0PULLFILE\x02/tmp/hw.png\x03")));
  std::string missing = Scratch("missing.pdf");
  EXPECT_EQ(-6, TLX_StartSign(0, 0, 9600, 5, &missing[0], &img[0], &dat[0]));
}

}  // namespace
}  // namespace tlxtest
