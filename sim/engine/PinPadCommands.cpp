// PIN pad: master and work keys, PIN length/mode/timeout, plain PIN entry
// and encrypted PIN blocks.
#include <openssl/crypto.h>

#include "EngineState.h"
#include "HexAsc1.h"
#include "PinBlock.h"
#include "Tdes.h"
#include "WireText.h"

namespace tlxsim {

namespace {

const std::string kKeyAck("\xaa", 1);

void Wipe(std::string* s) {
  if (!s->empty()) OPENSSL_cleanse(&(*s)[0], s->size());
  s->clear();
}

bool AllDigits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

void EngineImpl::PinPadModule(Link link, const ParsedCommand& c, Clock::time_point now) {
  const std::string& kw = c.keyword;
  Fault f = TakeFault("1" + kw);
  long v = c.value;
  if (kw == "L" && c.hasValue && v >= 4 && v <= 14) state.pinLength = int(v);
  if (kw == "X" && c.hasValue && (v == 0 || v == 1)) state.pinMode = int(v);
  if (kw == "T" && c.hasValue && v >= 1 && v <= 999) state.pinTimeout = int(v);
  // Write-only commands: only a fault puts bytes on the line.
  if (f.kind != FaultKind::None && f.kind != FaultKind::Late) {
    Reply r;
    r.bytes = kKeyAck;
    Send(link, now, f, r);
  }
}

// The PIN the customer types, as far as the pad takes it (at most the
// configured PIN length). Empty when the customer does not answer in time.
static std::string TypedPin(const Customer& cu, const TerminalState& st) {
  if (!cu.pin.answers || cu.pin.delayMs >= st.pinTimeout * 1000) return std::string();
  std::string pin = cu.pin.value;
  if (pin.size() > static_cast<size_t>(st.pinLength)) pin.resize(static_cast<size_t>(st.pinLength));
  return pin;
}

bool EngineImpl::PinBlockReply(const std::string& pin, const std::string& account, int option,
                               std::string* reply) {
  if (state.activeMaster < 0) return false;
  auto it = state.workKeys.find({state.activeMaster, state.activeWork});
  if (it == state.workKeys.end()) return false;
  std::string field;
  if (!AccountField(account, &field)) return false;
  std::string clear, block;
  bool ok =
      MakeClearPinBlock(option & 1, pin, field, &clear) && TdesEncrypt(it->second, clear, &block);
  Wipe(&clear);
  if (!ok) return false;
  char tag = 0x10;
  if (option & 2) {
    // Long form: the block followed by the work key's check value.
    block += TdesCheckValue(it->second);
    tag = 0x20;
  }
  if (state.pinBlockTag != 0) tag = static_cast<char>(state.pinBlockTag);
  *reply = "\x02" + HexAsc1Encode(std::string(1, tag) + block) + "\x03";
  Wipe(&block);
  return true;
}

// Plain entry: the digits, then CR. Mode 1 reports every key press as the
// digit followed by a zero byte.
static std::string PlainPinBytes(const std::string& pin, int mode) {
  std::string bytes;
  for (char d : pin) {
    bytes.push_back(d);
    if (mode == 1) bytes.push_back('\0');
  }
  bytes.push_back('\r');
  return bytes;
}

bool EngineImpl::PinAnswer(OpenPrompt& p, const std::string& digits, Reply* r) {
  if (p.prompt.kind == PromptKind::Pin) {
    r->bytes = PlainPinBytes(digits, p.prompt.pinMode);
    return true;
  }
  return PinBlockReply(digits, p.account, p.option, &r->bytes);
}

void EngineImpl::PinPadLine(Link link, const ParsedCommand& c, Clock::time_point now) {
  const char letter = c.keyword[0];
  Fault f = TakeFault(c.keyword);
  Reply r;
  r.bytes = kKeyAck;
  bool ok = false;
  std::string p;
  if (letter == 'M' || letter == 'S' || letter == 'A') {
    if (!HexAsc1Decode(c.fields, &p)) p.clear();
  }
  if (letter == 'M' && p.size() >= 1) {
    unsigned idx = static_cast<unsigned char>(p[0]);
    // Payload: index, key2, key1. The master key is the bytes in that
    // order: key2 is its left half, key1 its right half.
    std::string key = p.substr(1);
    if (idx < 16 && IsTdesKeyLength(key.size())) {
      Wipe(&state.masterKeys[idx]);
      state.masterKeys[idx] = key;
      for (auto it = state.workKeys.begin(); it != state.workKeys.end();) {
        if (it->first.first == int(idx)) {
          Wipe(&it->second);
          it = state.workKeys.erase(it);
        } else {
          ++it;
        }
      }
      if (state.activeMaster == int(idx)) state.activeMaster = state.activeWork = -1;
      ok = true;
    }
    Wipe(&key);
  } else if (letter == 'S' && p.size() >= 2) {
    unsigned mk = static_cast<unsigned char>(p[0]), wk = static_cast<unsigned char>(p[1]);
    std::string enc = p.substr(2), clear;
    if (mk < 16 && wk < 16 && !state.masterKeys[mk].empty() && IsTdesKeyLength(enc.size()) &&
        TdesDecrypt(state.masterKeys[mk], enc, &clear)) {
      std::string& slot = state.workKeys[{int(mk), int(wk)}];
      Wipe(&slot);
      slot = clear;
      ok = true;
    }
    Wipe(&clear);
  } else if (letter == 'A' && p.size() == 2) {
    int mk = static_cast<unsigned char>(p[0]), wk = static_cast<unsigned char>(p[1]);
    if (state.workKeys.count({mk, wk})) {
      state.activeMaster = mk;
      state.activeWork = wk;
      ok = true;
    }
  } else if (letter == 'R' && c.fields.empty()) {
    for (auto& k : state.masterKeys) Wipe(&k);
    for (auto& w : state.workKeys) Wipe(&w.second);
    state.workKeys.clear();
    state.activeMaster = state.activeWork = -1;
    ok = true;
  } else if (letter == 'F' || letter == 'I') {
    // "F<prompt><option>" and "I<prompt><option><account>": PIN entry
    // that answers with an encrypted block.
    const std::string& q = c.fields;
    int option = q.size() >= 2 ? q[1] - '0' : -1;
    std::string account = letter == 'I' && q.size() > 2 ? q.substr(2) : std::string();
    bool valid = q.size() >= 2 && (q[0] == '0' || q[0] == '1') && option >= 0 && option <= 3 &&
                 (letter == 'I' || q.size() == 2) && AllDigits(account);
    state.pinEntry = true;
    bool keyReady = state.workKeys.count({state.activeMaster, state.activeWork}) > 0;
    std::string field;
    if (!valid || !keyReady || !AccountField(account, &field)) {
      r.bytes = r.negative;
      r.module = 1;
      Log("PIN block refused (bad request, no active work key or bad account)");
      Send(link, now, f, r);
      return;
    }
    OpenPrompt p = PinPrompt(PromptKind::PinBlock, q[0] - '0');
    p.account = account;
    p.option = option;
    Reply answer = p.answer;
    std::string pin = liveCustomer ? std::string() : TypedPin(customer, state);
    p.prompt.scriptedAnswers = !pin.empty();
    p.prompt.scriptedDigits = static_cast<int>(pin.size());
    if (!liveCustomer && pin.empty()) {
      Log("customer enters no PIN: the terminal does not answer");
    } else if (!liveCustomer && !PinBlockReply(pin, account, option, &answer.bytes)) {
      answer.bytes = answer.negative;
      answer.secret = false;
      answer.delayMs = 0;
      Log("PIN block refused (the PIN does not make a block)");
    }
    Wipe(&pin);
    Wipe(&account);
    StartPrompt(link, now, std::move(p), f, answer, false);
    Wipe(&answer.bytes);
    return;
  }
  Wipe(&p);
  if (!ok) r.bytes = r.negative;
  Send(link, now, f, r);
}

void EngineImpl::PinEntryControl(Link link, const ParsedCommand& c, Clock::time_point now) {
  if (c.code == 0x83) {
    Fault f = TakeFault("PINEND");
    state.pinEntry = false;
    CancelModule(link, 1);
    if (f.kind != FaultKind::None && f.kind != FaultKind::Late) {
      Reply r;
      r.bytes = kKeyAck;
      Send(link, now, f, r);
    }
    return;
  }
  Fault f = TakeFault("PIN");
  state.pinEntry = true;
  OpenPrompt p = PinPrompt(PromptKind::Pin, c.code == 0x81 ? 1 : 0);
  Reply answer = p.answer;
  std::string pin = liveCustomer ? std::string() : TypedPin(customer, state);
  p.prompt.scriptedAnswers = !pin.empty();
  p.prompt.scriptedDigits = static_cast<int>(pin.size());
  if (!liveCustomer && pin.empty()) Log("customer enters no PIN: the terminal does not answer");
  if (!pin.empty()) answer.bytes = PlainPinBytes(pin, state.pinMode);
  Wipe(&pin);
  StartPrompt(link, now, std::move(p), f, answer, false);
  Wipe(&answer.bytes);
}

EngineImpl::OpenPrompt EngineImpl::PinPrompt(PromptKind kind, int voicePrompt) const {
  OpenPrompt p;
  p.prompt.kind = kind;
  p.prompt.voicePrompt = voicePrompt;
  p.prompt.pinLength = state.pinLength;
  p.prompt.pinMode = state.pinMode;
  p.prompt.timeoutMs = state.pinTimeout * 1000;
  p.prompt.scriptedDelayMs = customer.pin.delayMs;
  p.module = 1;
  // A PIN pad that times out answers nothing: no timeout reply.
  p.answer.module = 1;
  p.answer.secret = true;
  p.answer.delayMs = customer.pin.delayMs;
  if (kind == PromptKind::Pin) p.answer.negative = std::string("\x02U\x03\r", 4);
  return p;
}

}  // namespace tlxsim
