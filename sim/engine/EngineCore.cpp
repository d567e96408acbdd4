// Command dispatch, the output schedule and fault injection.
#include <algorithm>
#include <cstdint>

#include "EngineState.h"
#include "WireText.h"

namespace tlxsim {

namespace {

const char* LinkName(Link link) { return link == Link::Hid ? "hid" : "serial"; }

// Bytes of a garbage answer: nothing a host could take for an answer, but
// ended by the byte that ends the genuine one so that the host's read
// completes and its check fails.
std::string GarbageFor(const std::string& answer) {
  std::string g("\x7f\x13#!", 4);
  if (!answer.empty()) g.push_back(answer.back());
  return g;
}

}  // namespace

void EngineImpl::Log(const std::string& line) {
  if (logging) log_.push_back(line);
}

std::vector<std::string> EngineImpl::TakeLog() {
  std::vector<std::string> r;
  r.swap(log_);
  return r;
}

bool EngineImpl::TakeNotify() {
  bool n = notify_;
  notify_ = false;
  return n;
}

Fault EngineImpl::TakeFault(const std::string& key, const std::string& generic) {
  for (const std::string* k : {&key, &generic}) {
    if (k->empty()) continue;
    auto it = faults.find(*k);
    if (it == faults.end() || it->second.kind == FaultKind::None) continue;
    // A fault for a later command lets this one pass (a pull counts its
    // packets instead).
    if (it->second.at > 1 && *k != "PULLFILE") {
      --it->second.at;
      return Fault();
    }
    Fault f = it->second;
    if (it->second.times > 0 && --it->second.times == 0) faults.erase(it);
    Log(std::string("fault applies to ") + *k);
    return f;
  }
  return Fault();
}

Fault EngineImpl::PeekFault(const std::string& key, const std::string& generic) const {
  for (const std::string* k : {&key, &generic}) {
    if (k->empty()) continue;
    auto it = faults.find(*k);
    if (it != faults.end() && it->second.kind != FaultKind::None)
      return it->second.at > 1 && *k != "PULLFILE" ? Fault() : it->second;
  }
  return Fault();
}

void EngineImpl::Schedule(Link link, Clock::time_point due, Chunk chunk, int module, bool secret,
                          int signKind, uint64_t prompt) {
  auto& q = out_[Index(link)];
  Scheduled s;
  s.due = due;
  s.seq = ++seq_;
  s.chunk = std::move(chunk);
  s.module = module;
  s.secret = secret;
  s.signKind = signKind;
  s.command = commands_;
  s.prompt = prompt;
  auto pos = std::upper_bound(q.begin(), q.end(), s, [](const Scheduled& a, const Scheduled& b) {
    return a.due < b.due || (a.due == b.due && a.seq < b.seq);
  });
  q.insert(pos, std::move(s));
  notify_ = true;
}

void EngineImpl::CancelModule(Link link, int module) {
  auto& q = out_[Index(link)];
  size_t before = q.size();
  q.erase(std::remove_if(q.begin(), q.end(),
                         [module](const Scheduled& s) { return s.module == module; }),
          q.end());
  if (q.size() != before)
    Log(std::string(LinkName(link)) + " pending answer of module " + std::to_string(module) +
        " dropped");
  EndPrompts(link, module, PromptEnd::Cancelled);
}

void EngineImpl::Send(Link link, Clock::time_point now, const Fault& f, Reply r) {
  Chunk c;
  c.bytes = r.bytes;
  int delay = r.delayMs;
  switch (f.kind) {
    case FaultKind::None:
    case FaultKind::BadPullChecksum:
      break;
    case FaultKind::Silence:
      return;
    case FaultKind::Refuse:
      c.bytes = r.negative;
      r.signKind = 0;
      r.secret = false;
      break;
    case FaultKind::Garbage:
      c.bytes = GarbageFor(r.bytes);
      r.signKind = 0;
      r.secret = false;
      break;
    case FaultKind::Truncate:
      if (c.bytes.size() <= 1) return;
      c.bytes.pop_back();
      break;
    case FaultKind::ExtraBytes:
      c.bytes += std::string("\x55\xaa", 2);
      break;
    case FaultKind::Late:
      delay += f.lateMs;
      break;
    case FaultKind::Vanish:
    case FaultKind::Hangup:
      c.bytes.clear();
      c.hangup = true;
      r.signKind = 0;
      break;
    case FaultKind::Trickle: {
      // Every piece its own chunk (on HID its own report); the last one
      // carries what the whole answer would (a completed signature).
      const int gap = f.lateMs > 0 ? f.lateMs : 30;
      for (size_t off = 0; off < c.bytes.size(); off += 2) {
        Chunk piece;
        piece.bytes = c.bytes.substr(off, 2);
        const bool last = off + 2 >= c.bytes.size();
        const int at = std::max(0, delay) + gap * static_cast<int>(off / 2);
        Schedule(link, now + std::chrono::milliseconds(at), std::move(piece), r.module, r.secret,
                 last ? r.signKind : 0);
      }
      return;
    }
  }
  if (c.bytes.empty() && !c.hangup) return;
  Schedule(link, now + std::chrono::milliseconds(std::max(0, delay)), std::move(c), r.module,
           r.secret, r.signKind, r.prompt);
}

void EngineImpl::Receive(Link link, const char* data, size_t n, Clock::time_point now) {
  std::vector<ParsedCommand> cmds;
  parsers_[Index(link)].Feed(data, n, &cmds);
  for (const ParsedCommand& c : cmds) {
    if (c.kind == ParsedCommand::Kind::Noise) {
      Log(std::string(LinkName(link)) + " ignored " + Printable(c.raw, 60));
      continue;
    }
    ++commands_;
    if (c.kind == ParsedCommand::Kind::Channel && link == Link::Serial) {
      state.selectedChannel = static_cast<char>(c.code);
      if (c.code == 'A') lastReset_[Index(link)] = commands_;
    }
    char channel = link == Link::Serial ? state.selectedChannel : 0;
    bool heard = link == Link::Hid || c.kind == ParsedCommand::Kind::Channel ||
                 state.terminalChannel == 0 || state.terminalChannel == state.selectedChannel;
    Received rec{link, c.raw, channel};
    rec.heard = heard;
    history.push_back(std::move(rec));
    Log(std::string(LinkName(link)) + " recv " + DescribeCommand(c) +
        (heard ? "" : " (channel not selected: not heard)"));
    if (!heard || c.kind == ParsedCommand::Kind::Channel) continue;
    Dispatch(link, c, now);
  }
}

void EngineImpl::Dispatch(Link link, const ParsedCommand& c, Clock::time_point now) {
  using K = ParsedCommand::Kind;
  switch (c.kind) {
    case K::Control:
      PinEntryControl(link, c, now);
      return;
    case K::Packet:
      HidPacket(link, c, now);
      return;
    case K::Line: {
      char letter = c.keyword[0];
      if ((letter == 'F' && c.fields == "A") || letter == 'G')
        KeypadLine(link, c, now);
      else
        PinPadLine(link, c, now);
      return;
    }
    case K::Module:
      break;
    default:
      return;
  }
  const std::string& kw = c.keyword;
  if (kw == "SETDISP") {
    DeviceCommand(link, c, now);
  } else if (c.module == 0) {
    if (kw == "DOWNLOAD")
      BlockDownload(link, c, now);
    else if (kw == "HIDCHANGE")
      HidPacket(link, c, now);
    else if (kw == "PULLFILE")
      PullStart(link, c, now);
    else if (kw == "RESPONSE")
      PullResponse(link, c, now);
    else if (kw == "UPDATE" || kw == "DELETE" || kw == "QUERYFILE" || kw == "GETFILELIST")
      MediaCommand(link, c, now);
    else
      DeviceCommand(link, c, now);
  } else if (c.module == 1) {
    PinPadModule(link, c, now);
  } else {
    Interaction(link, c, now);
  }
}

std::vector<Chunk> EngineImpl::Poll(Link link, Clock::time_point now, Clock::time_point* nextDue) {
  PromptDeadlines(link, now);
  auto& q = out_[Index(link)];
  std::vector<Chunk> due;
  std::vector<std::pair<uint64_t, bool>> answered;  // prompt, by a hangup
  size_t taken = 0;
  while (taken < q.size() && q[taken].due <= now) {
    Scheduled& s = q[taken++];
    if (s.signKind) CompleteSignature(s.signKind);
    if (s.prompt) answered.emplace_back(s.prompt, s.chunk.hangup);
    if (s.chunk.hangup)
      Log(std::string(LinkName(link)) + (link == Link::Hid ? " device vanishes" : " hangs up"));
    else if (s.secret)
      Log(std::string(LinkName(link)) + " send **** (" + std::to_string(s.chunk.bytes.size()) +
          " bytes, masked)");
    else
      Log(std::string(LinkName(link)) + " send " + Printable(s.chunk.bytes));
    due.push_back(std::move(s.chunk));
  }
  q.erase(q.begin(), q.begin() + static_cast<std::ptrdiff_t>(taken));
  for (const auto& a : answered)
    for (size_t i = 0; i < prompts_.size(); ++i)
      if (prompts_[i].prompt.id == a.first) {
        EndPrompt(i, a.second                      ? PromptEnd::Closed
                     : prompts_[i].scriptedTimeout ? PromptEnd::TimedOut
                                                   : PromptEnd::Answered);
        break;
      }
  for (const Chunk& c : due)
    if (c.hangup) {
      // The host sees the line or device go: whatever was under way ends.
      transfer_[Index(link)] = LinkTransfer();
      parsers_[Index(link)].Reset();
      EndPrompts(link, 0, PromptEnd::Closed);
    }
  // A serial line gets a steady trickle of noise; the USB side hands it to
  // the host as fast as the host reads (HidServer).
  const bool chattering = link == Link::Serial && chatter[Index(link)];
  if (chattering) {
    Chunk noise;
    noise.bytes = ChatterBytes(link);
    due.push_back(std::move(noise));
  }
  if (nextDue) {
    *nextDue = q.empty() ? Clock::time_point::max() : q.front().due;
    *nextDue = std::min(*nextDue, NextPromptDeadline(link));
    if (chattering) *nextDue = std::min(*nextDue, now + std::chrono::milliseconds(1));
  }
  return due;
}

std::string EngineImpl::ChatterBytes(Link link) const {
  if (!chatter[Index(link)]) return std::string();
  return std::string(link == Link::Hid ? 64 * 1024 : 64, '\x5a');
}

void EngineImpl::SetChatter(Link link, bool on) {
  chatter[Index(link)] = on;
  Log(std::string(LinkName(link)) + (on ? " chatter starts" : " chatter stops"));
  notify_ = true;
}

void EngineImpl::LinkClosed(Link link) {
  // The notice of a serial close can reach the engine after the next
  // session's first command (the close and the bytes travel different
  // ways). When the host marks its session ends with the channel reset,
  // only what belongs to commands up to the last reset is dropped;
  // otherwise everything is.
  const int i = Index(link);
  const uint64_t end = (link == Link::Serial && lastReset_[i] != 0) ? lastReset_[i] : UINT64_MAX;
  auto& q = out_[i];
  size_t before = q.size();
  q.erase(
      std::remove_if(q.begin(), q.end(), [end](const Scheduled& s) { return s.command <= end; }),
      q.end());
  if (q.size() != before)
    Log(std::string(LinkName(link)) + " closed by the host: " + std::to_string(before - q.size()) +
        " pending answer(s) dropped");
  for (size_t k = prompts_.size(); k-- > 0;)
    if (prompts_[k].prompt.link == link && prompts_[k].command <= end)
      EndPrompt(k, PromptEnd::Cancelled);  // the host stopped waiting
  LinkTransfer& t = transfer_[i];
  if (t.pulling && t.pullCommand <= end) {
    t.pulling = false;
    t.pullData.clear();
  }
}

}  // namespace tlxsim
