// Prompts: what the terminal puts in front of the customer (information,
// evaluator, keypad, PIN pad, signature) from its start to its end. The
// scripted customer's answer is scheduled when the prompt starts; the person
// at the window answers later through AnswerPrompt, or the terminal's own
// timeout ends the prompt at its deadline.
#include <openssl/crypto.h>
#include <algorithm>

#include "EngineState.h"

namespace tlxsim {

namespace {

const char* EndName(PromptEnd end) {
  switch (end) {
    case PromptEnd::Answered:
      return "answered";
    case PromptEnd::TimedOut:
      return "timed out";
    case PromptEnd::Cancelled:
      return "cancelled by the host";
    default:
      return "ended: the line went down";
  }
}

bool Digits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// An amount: digits with at most one decimal point and two decimals.
bool AmountText(const std::string& s) {
  size_t dot = s.find('.');
  if (dot == std::string::npos) return Digits(s);
  return s.find('.', dot + 1) == std::string::npos && dot > 0 && s.size() - dot - 1 <= 2 &&
         Digits(s.substr(0, dot)) && Digits(s.substr(dot + 1));
}

// The drawn strokes, kept inside the signature area and to sane sizes.
std::vector<Stroke> Clamped(const std::vector<Stroke>& strokes) {
  constexpr size_t kMaxPoints = 100000;
  std::vector<Stroke> out;
  size_t points = 0;
  for (const Stroke& s : strokes) {
    if (s.empty()) continue;
    Stroke c;
    for (const PenPoint& p : s) {
      if (points++ >= kMaxPoints) break;
      PenPoint q;
      q.x = std::clamp(p.x, 0, kSignatureWidth - 1);
      q.y = std::clamp(p.y, 0, kSignatureHeight - 1);
      q.timeMs = std::max(0, p.timeMs);
      q.pressure = std::clamp(p.pressure, 0, 1023);
      c.push_back(q);
    }
    if (!c.empty()) out.push_back(std::move(c));
  }
  return out;
}

}  // namespace

std::vector<PromptEvent> EngineImpl::TakeEvents() {
  std::vector<PromptEvent> r;
  r.swap(events_);
  return r;
}

uint64_t EngineImpl::StartPrompt(Link link, Clock::time_point now, OpenPrompt p, const Fault& f,
                                 Reply scripted, bool scriptedTimesOut) {
  const uint64_t id = ++promptSeq_;
  p.prompt.id = id;
  p.prompt.link = link;
  p.prompt.scripted = !liveCustomer;
  p.command = commands_;
  p.deadline = now + std::chrono::milliseconds(p.prompt.timeoutMs);
  if (liveCustomer) {
    // One prompt per module: a new one replaces what the module showed.
    EndPrompts(link, p.module, PromptEnd::Cancelled);
    p.fault = f;
    Log("prompt " + std::to_string(id) + " waits for the customer at the terminal");
  } else {
    p.scriptedTimeout = scriptedTimesOut;
    if (!scripted.bytes.empty()) {
      scripted.prompt = id;
      const size_t before = out_[Index(link)].size();
      Send(link, now, f, std::move(scripted));
      p.scheduled = out_[Index(link)].size() != before;
    }
  }
  if (prompting) events_.push_back(PromptEvent{true, p.prompt, PromptEnd::Answered});
  prompts_.push_back(std::move(p));
  notify_ = true;  // the link recomputes its next wake-up with the deadline
  return id;
}

void EngineImpl::EndPrompt(size_t index, PromptEnd end) {
  OpenPrompt& p = prompts_[index];
  if (p.prompt.kind == PromptKind::Sign && end != PromptEnd::Answered && !p.prompt.scripted)
    signStrokes_.clear();
  if (!p.account.empty()) OPENSSL_cleanse(&p.account[0], p.account.size());
  if (!p.prompt.scripted || end != PromptEnd::Answered)
    Log("prompt " + std::to_string(p.prompt.id) + " " + EndName(end));
  if (prompting) {
    PromptEvent e;
    e.started = false;
    e.prompt.id = p.prompt.id;
    e.prompt.kind = p.prompt.kind;
    e.prompt.link = p.prompt.link;
    e.end = end;
    events_.push_back(std::move(e));
  }
  prompts_.erase(prompts_.begin() + static_cast<std::ptrdiff_t>(index));
}

void EngineImpl::EndPrompts(Link link, int module, PromptEnd end) {
  for (size_t i = prompts_.size(); i-- > 0;)
    if (prompts_[i].prompt.link == link && (module == 0 || prompts_[i].module == module))
      EndPrompt(i, end);
}

void EngineImpl::PromptDeadlines(Link link, Clock::time_point now) {
  for (size_t i = 0; i < prompts_.size();) {
    OpenPrompt& p = prompts_[i];
    if (p.prompt.link != link || p.scheduled || p.deadline > now) {
      ++i;
      continue;
    }
    // Live: the terminal's own end of the prompt goes out at the deadline.
    // Scripted with nothing scheduled (the customer does not answer, or a
    // fault swallowed the answer): the prompt just ends.
    if (!p.prompt.scripted && !p.timeoutReply.bytes.empty())
      Send(link, p.deadline, p.fault, p.timeoutReply);
    EndPrompt(i, PromptEnd::TimedOut);
  }
}

Clock::time_point EngineImpl::NextPromptDeadline(Link link) const {
  Clock::time_point next = Clock::time_point::max();
  for (const OpenPrompt& p : prompts_)
    if (p.prompt.link == link && !p.scheduled) next = std::min(next, p.deadline);
  return next;
}

bool EngineImpl::AnswerPrompt(uint64_t id, const std::string& value,
                              const std::vector<Stroke>* strokes, Clock::time_point now) {
  auto it = std::find_if(prompts_.begin(), prompts_.end(),
                         [id](const OpenPrompt& p) { return p.prompt.id == id; });
  if (it == prompts_.end() || it->prompt.scripted) return false;
  OpenPrompt& p = *it;
  Reply r = p.answer;
  r.delayMs = 0;  // the person's answer goes out as it is given
  bool ok = false;
  switch (p.prompt.kind) {
    case PromptKind::Info:
      ok = value == "B0F" || value == "B1F";
      r.bytes = value;
      break;
    case PromptKind::Evaluator:
      ok = value == "B1F" || value == "B2F" || value == "B3F";
      r.bytes = value;
      break;
    case PromptKind::Amount:
    case PromptKind::Phone:
      ok = value.size() <= 64 &&
           (p.prompt.kind == PromptKind::Amount ? AmountText(value) : Digits(value));
      r.bytes = "B" + value + "F";
      break;
    case PromptKind::Pin:
    case PromptKind::PinBlock:
      // A PIN block needs at least four digits; the pad does not take less.
      ok = Digits(value) && value.size() <= static_cast<size_t>(p.prompt.pinLength) &&
           (p.prompt.kind == PromptKind::Pin || value.empty() || value.size() >= 4);
      if (ok && !value.empty() && !PinAnswer(p, value, &r)) {
        r.bytes = r.negative;
        r.secret = false;
        Log("PIN block refused (no active work key any more)");
      }
      break;
    case PromptKind::Sign:
      if (strokes) signStrokes_ = Clamped(*strokes);
      ok = !signStrokes_.empty();
      r.bytes = std::string("\x02\xaa\x03", 3);
      r.signKind = p.prompt.signKind;
      break;
  }
  if (!ok) {
    if (!r.bytes.empty() && r.secret) OPENSSL_cleanse(&r.bytes[0], r.bytes.size());
    return false;
  }
  const size_t index = static_cast<size_t>(it - prompts_.begin());
  const Link link = p.prompt.link;
  const Fault fault = p.fault;
  if ((p.prompt.kind == PromptKind::Pin || p.prompt.kind == PromptKind::PinBlock) && value.empty())
    Log("customer gives up PIN entry: the terminal does not answer");
  else
    Log("customer answers at the terminal");
  EndPrompt(index, PromptEnd::Answered);
  if (!r.bytes.empty()) {
    Send(link, now, fault, r);
    OPENSSL_cleanse(&r.bytes[0], r.bytes.size());
  }
  return true;
}

}  // namespace tlxsim
