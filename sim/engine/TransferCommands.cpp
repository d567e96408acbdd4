// File transfers, device side: serial DOWNLOAD blocks, HID packets after
// HIDCHANGE, and PULLFILE (packets out, the host's RESPONSE after each).
#include "EngineState.h"
#include "HexAsc1.h"
#include "Signature.h"
#include "WireText.h"

namespace tlxsim {

namespace {

const std::string kAck("\x02\xaa\x03", 3);
constexpr size_t kMaxTransfer = 64u << 20;  // largest file the terminal takes

unsigned char Xor(const std::string& bytes, size_t n) {
  unsigned char x = 0;
  for (size_t i = 0; i < n; ++i) x ^= static_cast<unsigned char>(bytes[i]);
  return x;
}

int32_t Le32(const std::string& b, size_t off) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[off + size_t(i)]);
  return static_cast<int32_t>(v);
}

bool IsHangup(const Fault& f) { return f.kind == FaultKind::Vanish || f.kind == FaultKind::Hangup; }

// A hang-up placed by the usual rule (mid-transfer) rather than by `at`.
bool IsRuledHangup(const Fault& f) { return IsHangup(f) && f.at == 0; }

}  // namespace

std::string MakePacket(int type, const std::string& payload, bool badChecksum) {
  std::string p(6, '\0');
  p[0] = 0x02;
  p[1] = static_cast<char>(type);
  unsigned char x = Xor(payload, payload.size());
  p[2] = static_cast<char>(badChecksum ? x ^ 0xFF : x);
  p[3] = static_cast<char>((payload.size() >> 16) & 0xFF);
  p[4] = static_cast<char>((payload.size() >> 8) & 0xFF);
  p[5] = static_cast<char>(payload.size() & 0xFF);
  return p + payload;
}

void EngineImpl::BlockDownload(Link link, const ParsedCommand& c, Clock::time_point now) {
  LinkTransfer& t = transfer_[Index(link)];
  Reply r;
  r.bytes = r.negative;
  // type|name|record: the record (HexAsc1) never holds '|'.
  size_t first = c.fields.find('|'), last = c.fields.rfind('|');
  long type = 0;
  std::string record;
  bool ok = first != std::string::npos && last != first &&
            ParseInt(c.fields.substr(0, first), &type) &&
            HexAsc1Decode(c.fields.substr(last + 1), &record) && record.size() >= 10 &&
            record.size() <= 8 + 512 + 1;
  std::string name = ok ? c.fields.substr(first + 1, last - first - 1) : std::string();
  int32_t total = ok ? Le32(record, 0) : 0, remaining = ok ? Le32(record, 4) : 0;
  int32_t blockNo = total - remaining;
  if (ok && Xor(record, record.size() - 1) != static_cast<unsigned char>(record.back())) {
    Log("download block refused: checksum");
    ok = false;
  }
  if (ok && (total < 1 || remaining < 0 || remaining >= total)) ok = false;
  // A hangup fault hits mid-transfer: never the first of several blocks.
  Fault f = (ok && blockNo == 1 && total > 1 && IsRuledHangup(PeekFault("DOWNLOAD")))
                ? Fault()
                : TakeFault("DOWNLOAD");
  if (ok) {
    if (blockNo == 1) {
      t.blocks = true;
      t.blockType = int(type);
      t.blockName = name;
      t.blockTotal = total;
      t.blockNext = 1;
      t.blockData.clear();
    }
    if (!t.blocks || t.blockType != type || t.blockName != name || t.blockTotal != total ||
        t.blockNext != blockNo || t.blockData.size() > kMaxTransfer) {
      Log("download block refused: out of sequence");
      ok = false;
    }
  }
  if (ok) {
    t.blockData.append(record, 8, record.size() - 9);
    ++t.blockNext;
    if (remaining == 0) {
      std::string path = MediaPath(t.blockType, t.blockName);
      ok = !path.empty() && WriteTerminalFile(path, t.blockData);
      Log(ok ? "stored " + path + " (" + std::to_string(t.blockData.size()) + " bytes)"
             : "download refused: cannot store " + t.blockName);
      t.blocks = false;
      t.blockData.clear();
    }
  }
  if (!ok) {
    t.blocks = false;
    t.blockData.clear();
  } else {
    r.bytes = kAck;
  }
  Send(link, now, f, r);
}

void EngineImpl::HidPacket(Link link, const ParsedCommand& c, Clock::time_point now) {
  LinkTransfer& t = transfer_[Index(link)];
  Reply r;
  r.bytes = r.negative;
  if (c.kind == ParsedCommand::Kind::Module) {  // HIDCHANGE
    Fault f = TakeFault("HIDCHANGE");
    t.hidMode = true;
    t.hidStarted = false;
    t.hidData.clear();
    r.bytes = kAck;
    Send(link, now, f, r);
    return;
  }
  const std::string key = "PACKET" + std::to_string(c.packetType);
  // The device vanishes at a data packet, i.e. in the middle of a transfer.
  Fault peek = PeekFault(key, "PACKET");
  Fault f = (IsRuledHangup(peek) && c.packetType != 2 && PeekFault(key).kind == FaultKind::None)
                ? Fault()
                : TakeFault(key, "PACKET");
  bool ok = t.hidMode && !c.packetTooLong && Xor(c.payload, c.payload.size()) == c.packetXor;
  if (!ok)
    Log("packet refused: " + std::string(!t.hidMode        ? "no HIDCHANGE before it"
                                         : c.packetTooLong ? "too long"
                                                           : "checksum"));
  if (ok && c.packetType == 1) {
    t.hidStarted = true;
    t.hidData.clear();
  } else if (ok && c.packetType == 2) {
    ok = t.hidStarted && t.hidData.size() + c.payload.size() <= kMaxTransfer;
    if (ok) t.hidData += c.payload;
  } else if (ok && c.packetType == 3) {
    ok = t.hidStarted && !c.payload.empty();
    if (ok) {
      int type = static_cast<unsigned char>(c.payload[0]);
      std::string path = MediaPath(type, c.payload.substr(1));
      ok = !path.empty() && WriteTerminalFile(path, t.hidData);
      Log(ok ? "stored " + path + " (" + std::to_string(t.hidData.size()) + " bytes)"
             : "end packet refused: no usable name");
    }
    t.hidMode = t.hidStarted = false;
    t.hidData.clear();
  }
  if (!ok) {
    t.hidMode = t.hidStarted = false;
    t.hidData.clear();
  } else {
    r.bytes = kAck;
  }
  Send(link, now, f, r);
}

void EngineImpl::PullStart(Link link, const ParsedCommand& c, Clock::time_point now) {
  LinkTransfer& t = transfer_[Index(link)];
  Fault f = TakeFault("PULLFILE");
  t.pulling = false;
  std::string data;
  if (!ReadTerminalFile(c.fields, &data)) {
    Log("pull refused: no file " + c.fields);
    Reply r;
    r.bytes = r.negative;
    Send(link, now, f, r);
    return;
  }
  if (f.kind == FaultKind::Silence || f.kind == FaultKind::Refuse || f.kind == FaultKind::Garbage) {
    Reply r;
    r.bytes = MakePacket(1, std::string(), false);
    Send(link, now, f, r);
    return;
  }
  t.pulling = true;
  t.pullData = std::move(data);
  t.pullOffset = 0;
  t.pullStage = 1;
  t.pullFault = f;
  t.pullBadSent = false;
  t.pullCommand = commands_;
  t.pullPacketsSent = 0;
  int delay = f.kind == FaultKind::Late ? f.lateMs : 0;
  Chunk start;
  start.bytes = MakePacket(1, std::string(), false);
  if (PullGoneAt(t, now, link)) return;
  Schedule(link, now + std::chrono::milliseconds(delay), std::move(start), 0, false);
}

void EngineImpl::PullResponse(Link link, const ParsedCommand& c, Clock::time_point now) {
  LinkTransfer& t = transfer_[Index(link)];
  if (!t.pulling) return;
  if (c.fields != "0") {
    Log("host refused the packet: pull ends");
    t.pulling = false;
    t.pullData.clear();
    return;
  }
  PullNext(link, now);
}

// A pull fault placed with `at`: the device goes away instead of the at-th
// packet (1 = the start packet). True when it did.
bool EngineImpl::PullGoneAt(LinkTransfer& t, Clock::time_point now, Link link) {
  const Fault& f = t.pullFault;
  if (!IsHangup(f) || f.at < 1 || ++t.pullPacketsSent != f.at) return false;
  Chunk gone;
  gone.hangup = true;
  Schedule(link, now, std::move(gone), 0, false);
  t.pulling = false;
  return true;
}

void EngineImpl::PullNext(Link link, Clock::time_point now) {
  LinkTransfer& t = transfer_[Index(link)];
  if (t.pullStage == 3) {  // the end packet was accepted
    Log("pull complete (" + std::to_string(t.pullData.size()) + " bytes)");
    t.pulling = false;
    t.pullData.clear();
    return;
  }
  const Fault& f = t.pullFault;
  if (PullGoneAt(t, now, link)) return;
  Chunk chunk;
  if (t.pullOffset < t.pullData.size()) {
    size_t n = std::min(state.pullPacketSize ? state.pullPacketSize : 3000,
                        t.pullData.size() - t.pullOffset);
    bool firstData = t.pullOffset == 0;
    bool bad = f.kind == FaultKind::BadPullChecksum && !t.pullBadSent;
    if (bad) t.pullBadSent = true;
    chunk.bytes = MakePacket(2, t.pullData.substr(t.pullOffset, n), bad);
    t.pullOffset += n;
    t.pullStage = 2;
    if (firstData && IsRuledHangup(f)) {
      // The device goes away in the middle of the first data packet.
      chunk.bytes.resize(std::min<size_t>(chunk.bytes.size(), 1024));
      Schedule(link, now, std::move(chunk), 0, false);
      Chunk gone;
      gone.hangup = true;
      Schedule(link, now, std::move(gone), 0, false);
      t.pulling = false;
      return;
    }
    if (firstData && f.kind == FaultKind::Truncate)
      chunk.bytes.resize(6 + (chunk.bytes.size() - 6) / 2);  // announced length not delivered
  } else {
    chunk.bytes = MakePacket(3, std::string(), false);
    if (f.kind == FaultKind::ExtraBytes) chunk.bytes += std::string("\x55\xaa", 2);
    t.pullStage = 3;
  }
  Schedule(link, now, std::move(chunk), 0, false);
}

void EngineImpl::CompleteSignature(int kind) {
  // What the customer drew (the person at the window, or the scripted
  // customer's strokes shown on the window); without a record of it, the
  // scripted customer's signature.
  std::vector<Stroke> strokes;
  strokes.swap(signStrokes_);
  if (strokes.empty()) strokes = SignatureStrokes(state.signatures + kind);
  bool ok = WriteTerminalFile("/tmp/hw.png", SignaturePng(strokes)) &&
            WriteTerminalFile("/tmp/hw.xml", SignatureXml(strokes));
  ++state.signatures;
  Log(ok ? "customer signed: /tmp/hw.png and /tmp/hw.xml written"
         : "customer signed, but the signature files could not be written");
}

}  // namespace tlxsim
