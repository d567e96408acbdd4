// tlxctl's customer interaction commands against the virtual terminal on
// both links.
#include <unistd.h>

#include "CtlTest.h"

namespace tlxtest {
namespace {

const std::string kZhongWenUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
const std::string kZhongWenGbk = "\xD6\xD0\xCE\xC4";

class CtlInteraction : public CtlLinkTest {
 protected:
  void Quick() {
    tlxsim::Customer c = terminal().GetCustomer();
    for (tlxsim::Answer* a : {&c.info, &c.evaluator, &c.keypadAmount, &c.keypadPhone, &c.sign})
      a->delayMs = 50;
    SetCustomer(c);
  }
  void SetUp() override {
    CtlLinkTest::SetUp();
    Quick();
  }
  tlxsim::TerminalState State() {
    std::lock_guard<std::mutex> g(engine().Impl().mu);
    return engine().Impl().state;
  }
};

TEST_P(CtlInteraction, InfoIsSentAsGbkAndAnswered) {
  CtlResult r = Run({"info", "--timeout", "5", "A " + kZhongWenUtf8});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "customer: confirmed\n");
  EXPECT_EQ(State().infoText, "A " + kZhongWenGbk);
  // --raw sends the bytes as they are; --file reads the text.
  WriteFile(Scratch("info.txt"), kZhongWenGbk);
  r = Run({"info", "--raw", "--file", Scratch("info.txt")});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(State().infoText, kZhongWenGbk);

  tlxsim::Customer c = terminal().GetCustomer();
  c.info.value = "B1F";
  SetCustomer(c);
  Json j = ParseJson(Run({"--json", "info", "cancel me"}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonNumber(j.get(), "answer"), 1);
  EXPECT_EQ(JsonString(j.get(), "answer_text"), "cancelled");
}

TEST_P(CtlInteraction, InfoRefusals) {
  // A character without a GBK code, or no text at all: tlxctl's usage errors.
  CtlResult r = Run({"info", "smile \xF0\x9F\x98\x80"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("character U+1F600 has no GBK code"), std::string::npos) << r.err;
  EXPECT_EQ(Run({"info"}).status, 2);
  // An empty text is the library's refusal.
  ExpectCtlError(Run({"info", ""}), -1, "info");
  // The terminal's refusal "BUF" is an answer the library counts as other.
  SetFault("2A", {FaultKind::Refuse});
  r = Run({"info", "text"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "customer: other\n");
}

TEST_P(CtlInteraction, InfoTimeouts) {
  // The customer does nothing: the terminal's own timeout answer.
  tlxsim::Customer c = terminal().GetCustomer();
  c.info.answers = false;
  SetCustomer(c);
  CtlResult r = Run({"info", "--timeout", "1", "text"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "customer: terminal timeout\n");
  // The terminal says nothing at all.
  SetFault("2A", {FaultKind::Silence});
  ExpectCtlError(Run({"info", "--timeout", "1", "text"}), -2, "info");
}

TEST_P(CtlInteraction, Evaluation) {
  CtlResult r = Run(
      {"evaluate", "--name", kZhongWenUtf8, "--number", "1001", "--stars", "4", "--timeout", "5"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "customer: satisfied\n");
  const tlxsim::TerminalState st = State();
  EXPECT_EQ(st.evaluator.tellerName, kZhongWenGbk);
  EXPECT_EQ(st.evaluator.tellerNo, "1001");
  EXPECT_EQ(st.evaluator.stars, 4);
  EXPECT_EQ(st.evaluator.photo, "1001.jpg");

  tlxsim::Customer c = terminal().GetCustomer();
  c.evaluator.value = "B3F";
  SetCustomer(c);
  Json j = ParseJson(
      Run({"--json", "evaluate", "--name", "Li", "--number", "7", "--photo", "li.jpg"}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonNumber(j.get(), "answer"), 3);
  EXPECT_EQ(JsonString(j.get(), "answer_text"), "dissatisfied");
  EXPECT_EQ(State().evaluator.photo, "li.jpg");
}

TEST_P(CtlInteraction, EvaluationRefusals) {
  EXPECT_EQ(Run({"evaluate", "--name", "Li"}).status, 2);
  ExpectRangeError(Run({"evaluate", "--name", "Li", "--number", "7", "--stars", "7"}),
                   "--stars takes 0..6, not '7'");
  SetFault("4R", {FaultKind::Refuse});
  CtlResult r = Run({"evaluate", "--name", "Li", "--number", "7"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "customer: an answer the library does not know\n");
}

TEST_P(CtlInteraction, EvaluationSilent) {
  SetFault("4R", {FaultKind::Silence});
  ExpectCtlError(Run({"evaluate", "--name", "Li", "--number", "7", "--timeout", "1"}), -2,
                 "evaluate");
}

TEST_P(CtlInteraction, Keypad) {
  CtlResult r = Run({"keypad", "--timeout", "5"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "entered: 100.00\n");
  Json j = ParseJson(Run({"--json", "keypad", "--mode", "phone"}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonString(j.get(), "input"), "13800138000");
  EXPECT_EQ(Run({"keypad", "--mode", "pin"}).status, 2);
  // The refusal "BUF" reads as the entry "U".
  SetFault("GM", {FaultKind::Refuse});
  r = Run({"keypad"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "entered: U\n");
}

TEST_P(CtlInteraction, KeypadTimeouts) {
  ExpectRangeError(Run({"keypad", "--timeout", "1000"}), "--timeout takes 1..999, not '1000'");
  ExpectRangeError(Run({"keypad", "--mode", "2"}), "--mode takes amount (0) or phone (1), not '2'");
  SetFault("FA", {FaultKind::Silence});
  ExpectCtlError(Run({"keypad", "--mode", "phone", "--timeout", "1"}), -2, "keypad");
}

TEST_P(CtlInteraction, SignatureSavesBothFiles) {
  WriteFile(Scratch("doc.pdf"), "%PDF-1.4 sample\n");
  CtlResult r =
      Run({"sign", "--timeout", "5", Scratch("doc.pdf"), Scratch("hw.png"), Scratch("hw.xml")});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "signed; image in " + Scratch("hw.png") + ", trajectory in " +
                       Scratch("hw.xml") + "\n");
  EXPECT_EQ(ReadFile(Scratch("hw.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_NE(ReadFile(Scratch("hw.xml")).find("<signature"), std::string::npos);
  Json j = ParseJson(
      Run({"--json", "sign", Scratch("doc.pdf"), Scratch("a.png"), Scratch("a.xml")}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonString(j.get(), "image"), Scratch("a.png"));
  EXPECT_EQ(JsonString(j.get(), "data"), Scratch("a.xml"));
}

TEST_P(CtlInteraction, SignatureRefusals) {
  WriteFile(Scratch("doc.pdf"), "%PDF-1.4 sample\n");
  WriteFile(Scratch("doc.doc"), "x");
  ClearHistory();
  CtlResult r = Run({"sign", Scratch("doc.doc"), Scratch("hw.png"), Scratch("hw.xml")});
  ExpectRangeError(
      r, "DOCUMENT takes a file ending in .pdf, .jpg or .html, not '" + Scratch("doc.doc") + "'");
  // Not even the flush the library sends before its own checks.
  EXPECT_TRUE(Settled().empty());
  SetFault("HANDSIGN", {FaultKind::Refuse});
  ExpectCtlError(Run({"sign", Scratch("doc.pdf"), Scratch("hw.png"), Scratch("hw.xml")}), -7,
                 "sign");
  EXPECT_NE(access(Scratch("hw.png").c_str(), F_OK), 0);
}

TEST_P(CtlInteraction, SignatureSilent) {
  WriteFile(Scratch("doc.pdf"), "%PDF-1.4 sample\n");
  SetFault("HANDSIGN", {FaultKind::Silence});
  ExpectCtlError(
      Run({"sign", "--timeout", "1", Scratch("doc.pdf"), Scratch("hw.png"), Scratch("hw.xml")}), -2,
      "sign");
}

TLX_CTL_BOTH_LINKS(CtlInteraction);

}  // namespace
}  // namespace tlxtest
