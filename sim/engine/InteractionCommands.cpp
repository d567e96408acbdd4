// Customer interaction: information screen, evaluator, keypad and
// signature, answered by the scripted customer or by the terminal's own
// timeout answer.
#include "EngineState.h"
#include "HexAsc1.h"
#include "WireText.h"

namespace tlxsim {

namespace {

// Timeout answers of the terminal when the customer does nothing.
const char* TimeoutAnswer(int module) {
  switch (module) {
    case 2: return "B3F";
    case 4: return "B0F";
    default: return "BF";  // keypad: an answer without a value
  }
}

}  // namespace

// Schedules the customer's answer, or the terminal's timeout answer when the
// customer does not answer within the module timeout.
static void CustomerOrTimeout(const Answer& a, const std::string& answer, int timeoutS,
                              const std::string& timeoutAnswer, std::string* bytes, int* delayMs,
                              bool* timedOut) {
  int limit = timeoutS * 1000;
  if (a.answers && a.delayMs < limit) {
    *bytes = answer;
    *delayMs = a.delayMs;
    *timedOut = false;
  } else {
    *bytes = timeoutAnswer;
    *delayMs = limit;
    *timedOut = true;
  }
}

void EngineImpl::Interaction(Link link, const ParsedCommand& c, Clock::time_point now) {
  const int m = c.module;
  const std::string& kw = c.keyword;
  const std::string key = kw == "HANDSIGN" ? kw : std::to_string(m) + kw;
  Fault f = TakeFault(key);
  Reply r;
  r.module = m;
  bool writeOnly = false;
  if (kw == "T") {
    if (c.hasValue && c.value >= 1 && c.value <= 999) state.moduleTimeout[m] = int(c.value);
    writeOnly = true;
  } else if (kw == "C") {
    // Closing or clearing a module drops an answer it still had pending, so
    // no stale answer reaches the next command.
    CancelModule(link, m);
    writeOnly = true;
  } else if (m == 4 && kw == "H") {
    // name|number|stars|photo; the name may hold '|' as a GBK trail byte, so
    // the fields are taken from the right.
    std::vector<std::string> f4 = SplitFields(c.fields);
    if (f4.size() >= 4) {
      EvaluatorHeader h;
      h.photo = f4.back();
      long stars = 0;
      h.stars = ParseInt(f4[f4.size() - 2], &stars) ? int(stars) : -1;
      h.tellerNo = f4[f4.size() - 3];
      size_t nameLen = c.fields.size() - h.photo.size() - f4[f4.size() - 2].size() -
                       h.tellerNo.size() - 3;
      h.tellerName = c.fields.substr(0, nameLen);
      state.evaluator = h;
    }
    writeOnly = true;
  } else if (m == 2 && kw == "A") {
    std::string text;
    state.infoText = HexAsc1Decode(c.fields, &text) ? text : c.fields;
    bool timedOut = false;
    CustomerOrTimeout(customer.info, customer.info.value, state.moduleTimeout[2],
                      TimeoutAnswer(2), &r.bytes, &r.delayMs, &timedOut);
    if (timedOut) Log("customer does not answer: timeout answer after the module timeout");
    r.negative = "BUF";
  } else if (m == 4 && kw == "R") {
    bool timedOut = false;
    CustomerOrTimeout(customer.evaluator, customer.evaluator.value, state.moduleTimeout[4],
                      TimeoutAnswer(4), &r.bytes, &r.delayMs, &timedOut);
    if (timedOut) Log("customer does not answer: timeout answer after the module timeout");
    r.negative = "BUF";
  } else if (m == 2 && kw == "HANDSIGN") {
    std::vector<std::string> fs = SplitFields(c.fields);
    long kind = 0, timeout = 0;
    static const char* kDocs[] = {nullptr, "/tmp/infoviewer.html", "/tmp/infoviewer.jpg",
                                  "/tmp/infoviewer.pdf"};
    std::string doc;
    bool ok = fs.size() == 2 && ParseInt(fs[0], &kind) && ParseInt(fs[1], &timeout) &&
              kind >= 1 && kind <= 3 && timeout >= 1 && timeout <= 999;
    if (ok) {
      state.signKind = int(kind);
      state.signTimeout = int(timeout);
      ok = ReadTerminalFile(kDocs[kind], &doc);
      if (!ok) Log(std::string("signature refused: ") + kDocs[kind] + " was not downloaded");
    }
    if (!ok) {
      r.bytes = r.negative;
    } else if (customer.sign.answers && customer.sign.delayMs < timeout * 1000) {
      r.bytes = std::string("\x02\xaa\x03", 3);
      r.delayMs = customer.sign.delayMs;
      r.signKind = int(kind);
    } else {
      // The customer does not sign in time: the terminal refuses at the
      // signing timeout.
      Log("customer does not sign: refusal after the signing timeout");
      r.bytes = r.negative;
      r.delayMs = int(timeout) * 1000;
    }
  } else {
    writeOnly = true;
  }
  if (writeOnly) {
    if (f.kind == FaultKind::None || f.kind == FaultKind::Late) return;
    r.bytes = "BUF";
    r.module = 0;
  }
  Send(link, now, f, r);
}

void EngineImpl::KeypadLine(Link link, const ParsedCommand& c, Clock::time_point now) {
  const bool amount = c.keyword == "G";
  Fault f = TakeFault(amount ? "GM" : "FA");
  const Answer& a = amount ? customer.keypadAmount : customer.keypadPhone;
  Reply r;
  r.module = 5;
  r.negative = "BUF";
  bool timedOut = false;
  CustomerOrTimeout(a, "B" + a.value + "F", state.moduleTimeout[5], TimeoutAnswer(5), &r.bytes,
                    &r.delayMs, &timedOut);
  if (timedOut) Log("customer does not answer: timeout answer after the module timeout");
  Send(link, now, f, r);
}

}  // namespace tlxsim
