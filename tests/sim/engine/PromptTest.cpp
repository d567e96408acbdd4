// Prompts from start to end: events for either customer, and the person at
// the window answering (or not) instead of the scripted customer.
#include <openssl/evp.h>

#include <fstream>
#include <sstream>

#include "EngineTestUtil.h"
#include "HexAsc1.h"
#include "PinBlock.h"
#include "Tdes.h"

namespace tlxsim {
namespace {

std::string Line(char letter, const std::string& payload) {
  return std::string("\x1b") + letter + HexAsc1Encode(payload) + "\r\n";
}

class Prompts : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    engine.SetPromptListener([this](const PromptEvent& e) { events.push_back(e); });
  }
  // The prompt that started last.
  const Prompt& Started() {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if (it->started) return it->prompt;
    static Prompt none;
    ADD_FAILURE() << "no prompt started";
    return none;
  }
  // How the prompt `id` ended; -1 while it is open.
  int EndOf(uint64_t id) const {
    for (const PromptEvent& e : events)
      if (!e.started && e.prompt.id == id) return static_cast<int>(e.end);
    return -1;
  }
  bool Answer(uint64_t id, const std::string& v, int atMs) {
    return engine.AnswerPromptAt(id, v, t0 + std::chrono::milliseconds(atMs));
  }
  void LoadKeys() {
    const std::string master =
        B("\x01\x23\x45\x67\x89\xab\xcd\xef\xfe\xdc\xba\x98\x76\x54\x32\x10", 16);
    std::string enc;
    ASSERT_TRUE(TdesEncrypt(master, work, &enc));
    ASSERT_EQ(Exchange(Line('M', std::string(1, '\x02') + master)), "\xaa");
    ASSERT_EQ(Exchange(Line('S', std::string("\x02\x07", 2) + enc)), "\xaa");
    ASSERT_EQ(Exchange(Line('A', std::string("\x02\x07", 2))), "\xaa");
  }
  std::string ReadHost(const std::string& terminalPath) {
    std::string bytes;
    EXPECT_TRUE(impl().ReadTerminalFile(terminalPath, &bytes)) << terminalPath;
    return bytes;
  }
  void PutFile(const std::string& terminalPath, const std::string& bytes = "x") {
    ASSERT_TRUE(impl().WriteTerminalFile(terminalPath, bytes));
  }

  const std::string work =
      B("\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff\x00", 16);
  std::vector<PromptEvent> events;
};

const int kAnswered = static_cast<int>(PromptEnd::Answered);
const int kTimedOut = static_cast<int>(PromptEnd::TimedOut);
const int kCancelled = static_cast<int>(PromptEnd::Cancelled);
const int kClosed = static_cast<int>(PromptEnd::Closed);

TEST_F(Prompts, ScriptedCustomerPromptsStartAndEndWithTheirAnswers) {
  Customer c;
  c.info = tlxsim::Answer{true, 400, "B0F"};
  c.evaluator = tlxsim::Answer{false, 0, "B1F"};
  engine.SetCustomer(c);
  std::string text("\xc4\xe3\xba\xc3", 4);
  Send("\x1b[2;10T\x1b[2A\x02" + HexAsc1Encode(text) + "\x03");
  const Prompt info = Started();
  EXPECT_EQ(info.kind, PromptKind::Info);
  EXPECT_TRUE(info.scripted);
  EXPECT_EQ(info.text, text);
  EXPECT_EQ(info.timeoutMs, 10000);
  EXPECT_TRUE(info.scriptedAnswers);
  EXPECT_EQ(info.scriptedValue, "B0F");
  EXPECT_EQ(info.scriptedDelayMs, 400);
  EXPECT_EQ(Out(399), "");
  EXPECT_EQ(EndOf(info.id), -1);
  EXPECT_EQ(Out(400), "B0F");
  EXPECT_EQ(EndOf(info.id), kAnswered);
  // The scripted person answers; a window cannot.
  EXPECT_FALSE(Answer(info.id, "B1F", 500));

  Send("\x1b[4;1T\x1b[4R", Link::Serial, 1000);
  const Prompt eva = Started();
  EXPECT_FALSE(eva.scriptedAnswers);
  EXPECT_EQ(Out(2000), "B0F");
  EXPECT_EQ(EndOf(eva.id), kTimedOut);

  Send("\x1b[5;30T\x1bGM\r\n", Link::Serial, 3000);
  const Prompt keypad = Started();
  EXPECT_EQ(keypad.kind, PromptKind::Amount);
  Send("\x1b[5C", Link::Serial, 3100);
  EXPECT_EQ(EndOf(keypad.id), kCancelled);
  EXPECT_EQ(Out(60000), "");
}

TEST_F(Prompts, LiveInformationWaitsForThePerson) {
  engine.SetLiveCustomer(true);
  Send(
      "\x1b[2;20T\x1b[2A\x02"
      "4142\x03",
      Link::Hid);
  const Prompt p = Started();
  EXPECT_FALSE(p.scripted);
  EXPECT_EQ(p.link, Link::Hid);
  EXPECT_EQ(p.text, "AB");
  // Nothing is scheduled but the terminal's timeout at 20 s.
  EXPECT_EQ(NextDueMs(Link::Hid), 20000);
  EXPECT_EQ(Out(5000, Link::Hid), "");
  EXPECT_FALSE(Answer(p.id, "B3F", 5000));  // not an answer of this screen
  EXPECT_FALSE(Answer(p.id + 1, "B0F", 5000));
  EXPECT_TRUE(Answer(p.id, "B1F", 5000));
  EXPECT_EQ(EndOf(p.id), kAnswered);
  EXPECT_EQ(Out(5000, Link::Hid), "B1F");
  EXPECT_FALSE(Answer(p.id, "B0F", 5001));  // already answered
  EXPECT_EQ(Out(60000, Link::Hid), "");
}

TEST_F(Prompts, NobodyAtTheWindowGetsTheTimeoutAnswers) {
  engine.SetLiveCustomer(true);
  Send(
      "\x1b[2;2T\x1b[2A\x02"
      "41\x03");
  const Prompt info = Started();
  EXPECT_EQ(Out(1999), "");
  EXPECT_EQ(Out(2000), "B3F");
  EXPECT_EQ(EndOf(info.id), kTimedOut);
  EXPECT_FALSE(Answer(info.id, "B0F", 2001));

  Send("\x1b[4;1T\x1b[4R", Link::Serial, 3000);
  EXPECT_EQ(Out(4000), "B0F");
  Send(
      "\x1b[5;1T\x1b"
      "FA\r\n",
      Link::Serial, 5000);
  EXPECT_EQ(Out(6000), "BF");
  Send("\x1b[1;3T\x82", Link::Serial, 7000);
  const Prompt pin = Started();
  EXPECT_EQ(NextDueMs(), 10000);
  EXPECT_EQ(Out(60000), "");  // a PIN pad that times out says nothing
  EXPECT_EQ(EndOf(pin.id), kTimedOut);
}

TEST_F(Prompts, LiveEvaluatorShowsTheHeaderAndTheStoredPhoto) {
  engine.SetLiveCustomer(true);
  PutFile("/mnt/sdcard/media/photo/1001.jpg", "JFIF");
  std::string name("\xd5\xc5\xc8\xfd", 4);
  Send("\x1b[4H\x02" + name + "|1001|4|1001.jpg\x03\x1b[4;30T\x1b[4R");
  const Prompt p = Started();
  EXPECT_EQ(p.kind, PromptKind::Evaluator);
  EXPECT_EQ(p.tellerName, name);
  EXPECT_EQ(p.tellerNo, "1001");
  EXPECT_EQ(p.stars, 4);
  EXPECT_EQ(p.photo, "1001.jpg");
  EXPECT_EQ(p.photoFile, storage + "/mnt/sdcard/media/photo/1001.jpg");
  EXPECT_FALSE(Answer(p.id, "B0F", 100));  // the timeout answer is the terminal's
  EXPECT_TRUE(Answer(p.id, "B3F", 100));
  EXPECT_EQ(Out(100), "B3F");

  Send("\x1b[4H\x02x|2002|1|2002.jpg\x03\x1b[4R", Link::Serial, 200);
  EXPECT_EQ(Started().photoFile, "");  // no such photo stored
}

TEST_F(Prompts, LiveKeypadTakesOnlyWhatTheModeAllows) {
  engine.SetLiveCustomer(true);
  Send("\x1b[5;30T\x1bGM\r\n");
  Prompt p = Started();
  EXPECT_EQ(p.kind, PromptKind::Amount);
  for (const char* bad : {"1.2.3", "12F", ".5", "1.234", "a"})
    EXPECT_FALSE(Answer(p.id, bad, 10)) << bad;
  EXPECT_TRUE(Answer(p.id, "1250.5", 10));
  EXPECT_EQ(Out(10), "B1250.5F");

  Send(
      "\x1b"
      "FA\r\n",
      Link::Serial, 20);
  p = Started();
  EXPECT_EQ(p.kind, PromptKind::Phone);
  EXPECT_FALSE(Answer(p.id, "138.0", 30));
  EXPECT_FALSE(Answer(p.id, std::string(65, '1'), 30));
  EXPECT_TRUE(Answer(p.id, "", 30));  // nothing typed: an answer without a value
  EXPECT_EQ(Out(30), "BF");
}

TEST_F(Prompts, LivePlainPinFollowsModeAndLength) {
  engine.SetLiveCustomer(true);
  Send("\x1b[1;4L\x1b[1;1X\x1b[1;30T\x81");
  Prompt p = Started();
  EXPECT_EQ(p.kind, PromptKind::Pin);
  EXPECT_EQ(p.voicePrompt, 1);
  EXPECT_EQ(p.pinLength, 4);
  EXPECT_EQ(p.pinMode, 1);
  EXPECT_FALSE(Answer(p.id, "12345", 10));  // more than the pad takes
  EXPECT_FALSE(Answer(p.id, "12a4", 10));
  EXPECT_TRUE(Answer(p.id, "9876", 10));
  EXPECT_EQ(Out(10), B("9\0"
                       "8\0"
                       "7\0"
                       "6\0\r",
                       9));

  Send("\x83\x1b[1;0X\x82", Link::Serial, 20);
  p = Started();
  EXPECT_EQ(p.voicePrompt, 0);
  EXPECT_TRUE(Answer(p.id, "", 30));  // the customer gives up: no answer
  EXPECT_EQ(EndOf(p.id), kAnswered);
  EXPECT_EQ(Out(60000), "");

  Send("\x82", Link::Serial, 70000);
  p = Started();
  Send("\x83", Link::Serial, 70100);  // the host ends entry
  EXPECT_EQ(EndOf(p.id), kCancelled);
  EXPECT_FALSE(Answer(p.id, "1234", 70200));
  EXPECT_EQ(Out(200000), "");

  std::string all;
  for (const auto& l : log) all += l + "\n";
  EXPECT_EQ(all.find("9876"), std::string::npos) << all;
  EXPECT_EQ(all.find(B("9\0", 2)), std::string::npos);
}

TEST_F(Prompts, LivePinBlockDecryptsToWhatWasTyped) {
  LoadKeys();
  engine.SetLiveCustomer(true);
  // A request the pad cannot serve is refused at once, without a prompt.
  events.clear();
  EXPECT_EQ(Exchange("\x1bI0012a4\r\n"), kNak);
  EXPECT_TRUE(events.empty());

  Send("\x1b[1;30T\x1bI004000001234567899\r\n");
  const Prompt p = Started();
  EXPECT_EQ(p.kind, PromptKind::PinBlock);
  EXPECT_FALSE(Answer(p.id, "12", 10));  // too short for a PIN block: not taken
  EXPECT_EQ(Out(10), "");
  EXPECT_EQ(EndOf(p.id), -1);
  EXPECT_TRUE(Answer(p.id, "2468", 30));
  std::string reply = Out(30);
  ASSERT_GE(reply.size(), 3u);
  std::string decoded;
  ASSERT_TRUE(HexAsc1Decode(reply.substr(1, reply.size() - 2), &decoded));
  ASSERT_EQ(decoded.size(), 9u);
  EXPECT_EQ(decoded[0], 0x10);
  std::string pin;
  EXPECT_TRUE(DecryptPinBlock(work, decoded.substr(1), "4000001234567899", &pin));
  EXPECT_EQ(pin, "2468");
  std::string all;
  for (const auto& l : log) all += l + "\n";
  EXPECT_EQ(all.find("2468"), std::string::npos) << all;
  EXPECT_EQ(all.find("4000001234567899"), std::string::npos) << all;
}

TEST_F(Prompts, LiveSignatureIsMadeFromTheDrawnStrokes) {
  engine.SetLiveCustomer(true);
  PutFile("/tmp/infoviewer.jpg", "JFIF");
  Send(
      "\x1b[2HANDSIGN\x02"
      "2|20\x03",
      Link::Hid);
  const Prompt p = Started();
  EXPECT_EQ(p.kind, PromptKind::Sign);
  EXPECT_EQ(p.signKind, 2);
  EXPECT_EQ(p.documentFile, storage + "/tmp/infoviewer.jpg");
  EXPECT_EQ(p.timeoutMs, 20000);
  EXPECT_FALSE(engine.AnswerSignatureAt(p.id, {}, t0));
  EXPECT_FALSE(Answer(p.id, "B0F", 0));
  // One horizontal stroke, and one that leaves the area (kept inside).
  Stroke line, wild;
  for (int x = 40; x <= 200; x += 10) line.push_back({x, 80, x, 300});
  wild.push_back({-50, 500, 5, 5000});
  wild.push_back({400, -3, 9, -7});
  ASSERT_TRUE(engine.AnswerSignatureAt(p.id, {line, wild}, t0 + std::chrono::milliseconds(50)));
  EXPECT_EQ(Out(50, Link::Hid), kAck);
  const std::string xml = ReadHost("/tmp/hw.xml");
  EXPECT_NE(xml.find("<point x=\"40\" y=\"80\" time=\"40\" pressure=\"300\"/>"), std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<point x=\"0\" y=\"159\" time=\"5\" pressure=\"1023\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<point x=\"319\" y=\"0\" time=\"9\" pressure=\"0\"/>"), std::string::npos);
  EXPECT_EQ(ReadHost("/tmp/hw.png").substr(1, 3), "PNG");

  // Nobody signs: the refusal at the signing timeout.
  Send(
      "\x1b[2HANDSIGN\x02"
      "2|1\x03",
      Link::Hid, 100);
  const Prompt q = Started();
  EXPECT_EQ(Out(1099, Link::Hid), "");
  EXPECT_EQ(Out(1100, Link::Hid), kNak);
  EXPECT_EQ(EndOf(q.id), kTimedOut);
}

TEST_F(Prompts, ScriptedSignatureIsTheOneShownOnTheWindow) {
  PutFile("/tmp/infoviewer.pdf", "%PDF");
  Customer c;
  c.sign = tlxsim::Answer{true, 10, ""};
  engine.SetCustomer(c);
  Send(
      "\x1b[2HANDSIGN\x02"
      "3|20\x03");
  const Prompt p = Started();
  ASSERT_FALSE(p.scriptedStrokes.empty());
  EXPECT_EQ(Out(10), kAck);
  EXPECT_EQ(ReadHost("/tmp/hw.xml"), SignatureXml(p.scriptedStrokes));
}

TEST_F(Prompts, ClosingTheLinkOrANewPromptEndsTheOldOne) {
  engine.SetLiveCustomer(true);
  Send("\x1b[5;30T\x1bGM\r\n", Link::Hid);
  const Prompt first = Started();
  Send(
      "\x1b"
      "FA\r\n",
      Link::Hid, 10);
  EXPECT_EQ(EndOf(first.id), kCancelled);
  const Prompt second = Started();
  engine.LinkClosed(Link::Hid);  // the host stopped waiting
  EXPECT_EQ(EndOf(second.id), kCancelled);
  EXPECT_FALSE(Answer(second.id, "1", 20));
  EXPECT_EQ(Out(60000, Link::Hid), "");
  EXPECT_EQ(NextDueMs(Link::Hid), -1);
}

TEST_F(Prompts, ALineThatGoesDownEndsThePrompt) {
  Customer c;
  c.keypadAmount = tlxsim::Answer{true, 100, "5"};
  engine.SetCustomer(c);
  engine.SetFault("GM", Fault{FaultKind::Vanish, 0, 1});
  Send("\x1bGM\r\n", Link::Hid);
  const Prompt p = Started();
  EXPECT_EQ(Out(100, Link::Hid), "<HANGUP>");
  EXPECT_EQ(EndOf(p.id), kClosed);
}

TEST_F(Prompts, FaultsApplyToThePersonsAnswer) {
  engine.SetLiveCustomer(true);
  engine.SetFault("2A", Fault{FaultKind::Refuse, 0, 1});
  engine.SetFault("4R", Fault{FaultKind::Late, 300, 1});
  Send(
      "\x1b[2A\x02"
      "41\x03");
  EXPECT_TRUE(Answer(Started().id, "B0F", 100));
  EXPECT_EQ(Out(100), "BUF");
  Send("\x1b[4R", Link::Serial, 200);
  EXPECT_TRUE(Answer(Started().id, "B1F", 300));
  EXPECT_EQ(Out(599), "");
  EXPECT_EQ(Out(600), "B1F");
}

}  // namespace
}  // namespace tlxsim
