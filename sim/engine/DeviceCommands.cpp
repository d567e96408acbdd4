// Terminal system commands: online probe, versions, volume, restart,
// global configuration, production check, display switches.
#include "EngineState.h"
#include "WireText.h"

namespace tlxsim {

namespace {

const std::string kAck("\x02\xaa\x03", 3);
const std::string kNak("\x02U\x03", 3);

bool TwoInts(const ParsedCommand& c, long* a, long* b) {
  if (!c.hasFields) return false;
  std::vector<std::string> f = SplitFields(c.fields);
  return f.size() == 2 && ParseInt(f[0], a) && ParseInt(f[1], b);
}

}  // namespace

void EngineImpl::DeviceCommand(Link link, const ParsedCommand& c, Clock::time_point now) {
  const std::string& kw = c.keyword;
  Reply r;
  if (kw == "SETDISP") {
    Fault f = TakeFault("SETDISP");
    long v = 0;
    if (c.hasFields && ParseInt(c.fields, &v) && (v == 0 || v == 1))
      state.display[c.module] = int(v);
    // Write-only: only a fault puts bytes on the line.
    if (f.kind != FaultKind::None && f.kind != FaultKind::Late) {
      r.bytes = kAck;
      Send(link, now, f, r);
    }
    return;
  }
  Fault f = TakeFault(kw, kw == "NERIVAX_PRODUCTION_START_PQCR" ? "PQC" : "");
  if (kw == "CHECKR40" || kw == "CHECKk60") {
    // Only the probe of the terminal's own model is acknowledged; the other
    // one is refused, so a host falls back quickly.
    r.bytes = kw.substr(5) == state.model ? kAck : kNak;
  } else if (kw == "GETDEVICEINFO") {
    r.bytes = "\x02" + state.versionJson + "\x03";
  } else if (kw == "GETUPDATESTATUS") {
    r.bytes = "\x02" + state.updateStatusJson + "\x03";
  } else if (kw == "SETVOLUME") {
    long kind = 0, level = 0;
    int* target = nullptr;
    long max = -1;
    if (TwoInts(c, &kind, &level)) {
      if (kind == 1) target = &state.volumeSystem, max = 5;
      if (kind == 2) target = &state.volumeKeyTone, max = 15;
      if (kind == 3) target = &state.volumeMedia, max = 15;
    }
    if (target && level >= 0 && level <= max) {
      *target = static_cast<int>(level);
      r.bytes = kAck;
    } else {
      r.bytes = kNak;
    }
  } else if (kw == "RESTART") {
    ++state.restarts;
    r.bytes = kAck;
  } else if (kw == "SETGLOBALCONFIG") {
    long a = 0, b = 0;
    if (TwoInts(c, &a, &b) && a >= 1 && a <= 5 && b >= 1 && b <= 2) {
      state.globalFirst = int(a);
      state.globalSecond = int(b);
      r.bytes = kAck;
    } else {
      r.bytes = kNak;
    }
  } else if (kw == "NERIVAX_PRODUCTION_START_PQCR") {
    state.pqcStarted = true;
    r.bytes = kAck;
  } else {
    return;
  }
  Send(link, now, f, r);
}

}  // namespace tlxsim
