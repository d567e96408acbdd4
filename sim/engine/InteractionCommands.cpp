// Customer interaction: information screen, evaluator, keypad and
// signature, answered by the scripted customer or by the terminal's own
// timeout answer.
#include <filesystem>

#include "EngineState.h"
#include "HexAsc1.h"
#include "WireText.h"

namespace tlxsim {

namespace {

// Timeout answers of the terminal when the customer does nothing.
const char* TimeoutAnswer(int module) {
  switch (module) {
    case 2:
      return "B3F";
    case 4:
      return "B0F";
    default:
      return "BF";  // keypad: an answer without a value
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
      size_t nameLen =
          c.fields.size() - h.photo.size() - f4[f4.size() - 2].size() - h.tellerNo.size() - 3;
      h.tellerName = c.fields.substr(0, nameLen);
      state.evaluator = h;
    }
    writeOnly = true;
  } else if (m == 2 && kw == "A") {
    std::string text;
    state.infoText = HexAsc1Decode(c.fields, &text) ? text : c.fields;
    OpenPrompt p = StatusPrompt(PromptKind::Info, 2, customer.info);
    p.prompt.text = state.infoText;
    StatusAnswer(link, now, f, std::move(p), customer.info, customer.info.value);
    return;
  } else if (m == 4 && kw == "R") {
    OpenPrompt p = StatusPrompt(PromptKind::Evaluator, 4, customer.evaluator);
    const EvaluatorHeader& h = state.evaluator;
    p.prompt.tellerName = h.tellerName;
    p.prompt.tellerNo = h.tellerNo;
    p.prompt.stars = h.stars;
    p.prompt.photo = h.photo;
    std::string photo = HostPath(MediaPath(2, h.photo));
    std::error_code ec;
    if (!photo.empty() && std::filesystem::is_regular_file(photo, ec)) p.prompt.photoFile = photo;
    StatusAnswer(link, now, f, std::move(p), customer.evaluator, customer.evaluator.value);
    return;
  } else if (m == 2 && kw == "HANDSIGN") {
    std::vector<std::string> fs = SplitFields(c.fields);
    long kind = 0, timeout = 0;
    static const char* kDocs[] = {nullptr, "/tmp/infoviewer.html", "/tmp/infoviewer.jpg",
                                  "/tmp/infoviewer.pdf"};
    bool ok = fs.size() == 2 && ParseInt(fs[0], &kind) && ParseInt(fs[1], &timeout) && kind >= 1 &&
              kind <= 3 && timeout >= 1 && timeout <= 999;
    std::string docFile;
    if (ok) {
      state.signKind = int(kind);
      state.signTimeout = int(timeout);
      docFile = HostPath(kDocs[kind]);
      std::error_code ec;
      ok = !docFile.empty() && std::filesystem::is_regular_file(docFile, ec);
      if (!ok) Log(std::string("signature refused: ") + kDocs[kind] + " was not downloaded");
    }
    if (!ok) {
      r.bytes = r.negative;
      Send(link, now, f, r);
      return;
    }
    OpenPrompt p;
    p.prompt.kind = PromptKind::Sign;
    p.prompt.timeoutMs = int(timeout) * 1000;
    p.prompt.signKind = int(kind);
    p.prompt.documentFile = docFile;
    p.prompt.scriptedDelayMs = customer.sign.delayMs;
    p.module = 2;
    // Nobody signs within the signing timeout: the terminal refuses then.
    p.timeoutReply.bytes = r.negative;
    p.timeoutReply.module = 2;
    p.answer.module = 2;
    signStrokes_.clear();
    Reply scripted;
    scripted.module = 2;
    bool timesOut = false;
    if (!liveCustomer && customer.sign.answers && customer.sign.delayMs < timeout * 1000) {
      p.prompt.scriptedAnswers = true;
      p.prompt.scriptedStrokes = SignatureStrokes(state.signatures + int(kind));
      signStrokes_ = p.prompt.scriptedStrokes;
      scripted.bytes = std::string("\x02\xaa\x03", 3);
      scripted.delayMs = customer.sign.delayMs;
      scripted.signKind = int(kind);
    } else if (!liveCustomer) {
      Log("customer does not sign: refusal after the signing timeout");
      scripted.bytes = r.negative;
      scripted.delayMs = int(timeout) * 1000;
      timesOut = true;
    }
    StartPrompt(link, now, std::move(p), f, scripted, timesOut);
    return;
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
  OpenPrompt p = StatusPrompt(amount ? PromptKind::Amount : PromptKind::Phone, 5, a);
  StatusAnswer(link, now, f, std::move(p), a, "B" + a.value + "F");
}

EngineImpl::OpenPrompt EngineImpl::StatusPrompt(PromptKind kind, int module,
                                                const Answer& a) const {
  OpenPrompt p;
  p.prompt.kind = kind;
  p.prompt.timeoutMs = ModuleTimeoutMs(module);
  p.prompt.scriptedDelayMs = a.delayMs;
  p.prompt.scriptedAnswers = a.answers && a.delayMs < p.prompt.timeoutMs;
  p.prompt.scriptedValue = a.value;
  p.module = module;
  p.timeoutReply.bytes = TimeoutAnswer(module);
  p.timeoutReply.module = module;
  p.timeoutReply.negative = "BUF";
  p.answer = p.timeoutReply;
  return p;
}

int EngineImpl::ModuleTimeoutMs(int module) const {
  auto it = state.moduleTimeout.find(module);
  return (it == state.moduleTimeout.end() ? 30 : it->second) * 1000;
}

// Starts a prompt answered with a status or keypad answer: the scripted
// customer's after its delay, or the terminal's timeout answer exactly at
// the module timeout.
void EngineImpl::StatusAnswer(Link link, Clock::time_point now, const Fault& f, OpenPrompt p,
                              const Answer& a, const std::string& answer) {
  Reply scripted;
  bool timedOut = false;
  if (!liveCustomer) {
    scripted = p.timeoutReply;
    CustomerOrTimeout(a, answer, p.prompt.timeoutMs / 1000, p.timeoutReply.bytes, &scripted.bytes,
                      &scripted.delayMs, &timedOut);
    if (timedOut) Log("customer does not answer: timeout answer after the module timeout");
  }
  StartPrompt(link, now, std::move(p), f, scripted, timedOut);
}

}  // namespace tlxsim
