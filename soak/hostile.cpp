// Hostile terminal: calls spread over all 25 TLX_ functions and both links
// while the virtual terminal garbles, cuts, pads, delays, trickles, refuses,
// drops or hangs up on the answer of the call's main exchange. Every output
// buffer carries canary bytes on both sides; every call must come back
// within its limit, with a result of the set its header documents, and
// leave its outputs untouched unless it succeeded.
#include <unistd.h>

#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>

#include "EngineState.h"

#include "soak.h"
#include "tlxdev.h"

namespace tlxsoak {
namespace {

using tlxsim::Fault;
using tlxsim::FaultKind;

enum { kFunctions = 25 };

struct CallResult {
  int rc = 0;
  bool outputsIntact = true;  // canaries and, on failure, untouched outputs
  std::string what;           // function name
};

const std::set<int> kCommon = {0, -2, -3, -4, -5, -7};

std::set<int> Allowed(const std::string& fn) {
  if (fn == "TLX_CancelRead") return {-7};
  if (fn == "TLX_SetShowDISP" || fn == "TLX_SetPinLen") return {0, -3, -4};
  std::set<int> s = kCommon;
  if (fn == "TLX_GetVer" || fn == "TLX_GetUpdateStatus" || fn == "TLX_ReadPin" ||
      fn == "TLX_ReadPinDES" || fn == "TLX_ReadPinAnsi" || fn == "TLX_StartKeyboard" ||
      fn == "TLX_GetFileList")
    s.insert(-10);
  if (fn == "TLX_DownLoadFile") {
    s.insert(-6);
    s.insert(-8);
  }
  return s;
}

bool AllZero(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

// A fault for the call's main exchange, or none.
Fault PickFault(std::mt19937& rng, bool hid) {
  Fault f;
  f.times = 1;
  const int roll = std::uniform_int_distribution<int>(0, 999)(rng);
  if (roll >= 300) return f;  // 70 % of the calls: a well-behaved terminal
  const int k = roll % 100;
  if (k < 16)
    f.kind = FaultKind::Garbage;
  else if (k < 20)
    f.kind = FaultKind::Truncate;
  else if (k < 36)
    f.kind = FaultKind::ExtraBytes;
  else if (k < 54) {
    f.kind = FaultKind::Late;
    f.lateMs = 20 + (roll * 7) % 480;
  } else if (k < 70) {
    f.kind = FaultKind::Trickle;
    f.lateMs = 3 + roll % 30;
  } else if (k < 85)
    f.kind = FaultKind::Refuse;
  else if (k < 88)
    f.kind = FaultKind::Silence;
  else
    f.kind = hid ? FaultKind::Vanish : FaultKind::Hangup;
  return f;
}

const char* KindName(FaultKind k) {
  switch (k) {
    case FaultKind::None:
      return "none";
    case FaultKind::Silence:
      return "silence";
    case FaultKind::Refuse:
      return "refuse";
    case FaultKind::Garbage:
      return "garbage";
    case FaultKind::Truncate:
      return "truncate";
    case FaultKind::ExtraBytes:
      return "extra";
    case FaultKind::Late:
      return "late";
    case FaultKind::BadPullChecksum:
      return "badsum";
    case FaultKind::Vanish:
      return "vanish";
    case FaultKind::Hangup:
      return "hangup";
    case FaultKind::Trickle:
      return "trickle";
  }
  return "?";
}

class Hostility {
 public:
  Hostility(tlxsim::VirtualTerminal& vt, unsigned seed) : vt_(vt), rng_(seed) {
    dir_ = ScratchDir();
    doc_ = dir_ + "/doc.pdf";
    media_ = dir_ + "/ad.jpg";
    WriteLocal(doc_, std::string("%PDF-1.4 soak\n") + std::string(3000, 'd'));
    WriteLocal(media_, std::string(7000, 'm'));
  }
  ~Hostility() {
    for (const std::string& f : {doc_, media_, dir_ + "/hw.png", dir_ + "/hw.xml"})
      unlink(f.c_str());
    rmdir(dir_.c_str());
  }

  // Runs function fn (0..24) on port, with the fault (if any) on its main
  // exchange; bad = a deliberately bad argument (must give -1).
  CallResult Call(int fn, int port, bool bad, double* limitS);

 private:
  void EnsureKeys() { LoadKeys(vt_); }

  tlxsim::VirtualTerminal& vt_;
  std::mt19937 rng_;
  std::string dir_, doc_, media_;
};

CallResult Hostility::Call(int fn, int port, bool bad, double* limitS) {
  CallResult r;
  const bool hid = port == 0;
  const char bp = 0;
  const int baud = 9600;
  const int t = 1;  // customer timeout, s
  *limitS = 12;     // flush plus two exchanges with their whole-second slack
  auto guardedText = [&](size_t size, const std::function<int(char*)>& call) {
    Guarded out(size);
    r.rc = call(out.data());
    r.outputsIntact = out.Intact() && (r.rc == 0 || AllZero(out.data(), size));
  };
  auto resultInt = [&](const std::function<int(int*)>& call) {
    int result = -100;
    r.rc = call(&result);
    r.outputsIntact = r.rc == 0 || result == -100;
  };
  switch (fn) {
    case 0:
      r.what = "TLX_SetGlobalConfig";
      r.rc = TLX_SetGlobalConfig(port, bp, baud, bad ? 6 : 1 + fn % 5, 1);
      break;
    case 1:
      r.what = "TLX_StartPQC";
      r.rc = TLX_StartPQC(port, bp, baud);
      break;
    case 2:
      r.what = "TLX_GetVer";
      if (bad)
        r.rc = TLX_GetVer(port, bp, baud, nullptr);
      else
        guardedText(TLX_VERSION_SIZE, [&](char* v) { return TLX_GetVer(port, bp, baud, v); });
      break;
    case 3: {
      r.what = "TLX_GetUpdateStatus";
      Guarded res(TLX_UPDATE_TEXT_SIZE), det(TLX_UPDATE_TEXT_SIZE);
      r.rc = TLX_GetUpdateStatus(port, bp, baud, res.data(), bad ? nullptr : det.data());
      r.outputsIntact =
          res.Intact() && det.Intact() &&
          (r.rc == 0 || (AllZero(res.data(), res.size()) && AllZero(det.data(), det.size())));
      break;
    }
    case 4:
      r.what = "TLX_SetVolume";
      r.rc = TLX_SetVolume(port, bp, baud, 1, bad ? 6 : 3);
      break;
    case 5:
      r.what = "TLX_RestartSys";
      r.rc = TLX_RestartSys(port, bp, baud);
      break;
    case 6:
      r.what = "TLX_CheckOnline";
      guardedText(TLX_MODEL_SIZE, [&](char* m) { return TLX_CheckOnline(port, bp, baud, m); });
      break;
    case 7:
      r.what = "TLX_CancelRead";
      r.rc = TLX_CancelRead(port, bp, baud);
      break;
    case 8:
      r.what = "TLX_SetShowDISP";
      r.rc = TLX_SetShowDISP(port, bp, baud, bad ? 5 : 1, 1);
      break;
    case 9:
      r.what = "TLX_SetPinLen";
      r.rc = TLX_SetPinLen(port, bp, baud, bad ? 3 : 6);
      break;
    case 10: {
      r.what = "TLX_UpdateMKey";
      char k1[] = "0123456789ABCDEF", k2[] = "FEDCBA9876543210";
      r.rc = TLX_UpdateMKey(port, bp, baud, bad ? 16 : 3, k1, k2);
      break;
    }
    case 11:
      r.what = "TLX_ResetKey";
      r.rc = TLX_ResetKey(port, bp, baud);
      break;
    case 12: {
      r.what = "TLX_DownLoadWKey";
      char wk[] = "00112233445566778899AABBCCDDEEFF";
      r.rc = TLX_DownLoadWKey(port, bp, baud, 3, bad ? 16 : 4, wk);
      break;
    }
    case 13:
      r.what = "TLX_ActiveWKey";
      r.rc = TLX_ActiveWKey(port, bp, baud, 1, bad ? 16 : 2);
      break;
    case 14:
      r.what = "TLX_ReadPin";
      *limitS = 16;
      guardedText(12, [&](char* pin) {
        return TLX_ReadPin(port, bp, baud, fn % 2, 0, bad ? 0 : t, pin, 12);
      });
      break;
    case 15:
      r.what = "TLX_ReadPinDES";
      *limitS = 16;
      EnsureKeys();
      guardedText(TLX_PIN_BLOCK_SIZE,
                  [&](char* b) { return TLX_ReadPinDES(port, bp, baud, 0, bad ? 4 : 2, t, b); });
      break;
    case 16: {
      r.what = "TLX_ReadPinAnsi";
      *limitS = 16;
      EnsureKeys();
      char account[] = "6222021234567890123";
      guardedText(TLX_PIN_BLOCK_SIZE, [&](char* b) {
        return TLX_ReadPinAnsi(port, bp, baud, 1, 1, bad ? 1000 : t, account, b);
      });
      break;
    }
    case 17: {
      r.what = "TLX_StartInfo";
      *limitS = 16;
      char info[] = "\xc7\xeb\xc8\xb7\xc8\xcf 100.00";
      resultInt([&](int* res) { return TLX_StartInfo(port, bp, baud, bad ? 0 : t, info, res); });
      break;
    }
    case 18: {
      r.what = "TLX_StartEvaluator";
      *limitS = 16;
      char name[] = "\xcd\xf5\xce\xe5", no[] = "100001", photo[] = "photo.jpg";
      resultInt([&](int* res) {
        return TLX_StartEvaluator(port, bp, baud, name, no, bad ? 7 : 5, photo, t, res);
      });
      break;
    }
    case 19:
      r.what = "TLX_StartKeyboard";
      *limitS = 16;
      guardedText(TLX_KEYPAD_INPUT_SIZE, [&](char* in) {
        return TLX_StartKeyboard(port, bp, baud, t, bad ? 2 : fn % 2, in);
      });
      break;
    case 20: {
      r.what = "TLX_StartSign";
      *limitS = 90;  // document download (end packet 30 s), signing, two pulls
      const std::string image = dir_ + "/hw.png", data = dir_ + "/hw.xml";
      unlink(image.c_str());
      unlink(data.c_str());
      std::string doc = bad ? dir_ + "/doc.txt" : doc_;
      r.rc = TLX_StartSign(port, bp, baud, t, &doc[0], const_cast<char*>(image.c_str()),
                           const_cast<char*>(data.c_str()));
      // A failed pull removes its file; the signature is whole or absent.
      r.outputsIntact = r.rc == 0 || access(data.c_str(), F_OK) != 0;
      break;
    }
    case 21: {
      r.what = "TLX_DownLoadFile";
      *limitS = 60;
      std::string path = bad ? std::string() : media_;
      r.rc = TLX_DownLoadFile(port, bp, baud, 255, bad ? nullptr : &path[0]);
      break;
    }
    case 22: {
      r.what = "TLX_DeleteFile";
      char name[] = "ad.jpg";
      r.rc = TLX_DeleteFile(port, bp, baud, 255, bad ? nullptr : name);
      break;
    }
    case 23: {
      r.what = "TLX_FindFileInfo";
      char name[] = "ad.jpg";
      Guarded info(TLX_FILE_INFO_SIZE);
      std::string longName(TLX_MAX_FILE_NAME + 1, 'n');
      r.rc = TLX_FindFileInfo(port, bp, baud, 255, bad ? &longName[0] : name, info.data());
      r.outputsIntact = info.Intact() && (r.rc == 0 || AllZero(info.data(), info.size()));
      break;
    }
    case 24:
      r.what = "TLX_GetFileList";
      guardedText(200, [&](char* list) {
        return TLX_GetFileList(port, bp, baud, 255, list, bad ? -1 : 200);
      });
      break;
  }
  (void)hid;
  return r;
}

// Keyword of the call's main exchange on the terminal.
std::string Keyword(int fn, bool hid, std::mt19937& rng) {
  static const char* const kKeys[kFunctions] = {"SETGLOBALCONFIG",
                                                "PQC",
                                                "GETDEVICEINFO",
                                                "GETUPDATESTATUS",
                                                "SETVOLUME",
                                                "RESTART",
                                                "CHECKR40",
                                                "",
                                                "SETDISP",
                                                "1L",
                                                "M",
                                                "R",
                                                "S",
                                                "A",
                                                "PIN",
                                                "F",
                                                "I",
                                                "2A",
                                                "4R",
                                                "",
                                                "",
                                                "",
                                                "DELETE",
                                                "QUERYFILE",
                                                "GETFILELIST"};
  if (fn == 19) return std::uniform_int_distribution<int>(0, 1)(rng) ? "GM" : "FA";
  if (fn == 20) {
    static const char* const sign[] = {"HANDSIGN", "PULLFILE", "PACKET", "2C"};
    return sign[std::uniform_int_distribution<int>(0, 3)(rng)];
  }
  if (fn == 21) return hid ? "PACKET" : "DOWNLOAD";
  return kKeys[fn];
}

// Makes (on) or undoes (off) an answer longer than the caller's area for
// the functions that have one; false for the others.
bool Oversize(tlxsim::VirtualTerminal& vt, int fn, bool on) {
  tlxsim::EngineImpl& impl = vt.engine().Impl();
  std::lock_guard<std::mutex> lock(impl.mu);
  static const tlxsim::TerminalState kDefaults;
  switch (fn) {
    case 2:
      impl.state.versionJson = on ? "{\"Version\":{\"app\":{\"version\":\"" +
                                        std::string(TLX_VERSION_SIZE, 'v') + "\"}}}"
                                  : kDefaults.versionJson;
      return true;
    case 3:
      impl.state.updateStatusJson = on ? "{\"UpdateResult\":\"Fail\",\"UpdateDetail\":\"" +
                                             std::string(TLX_UPDATE_TEXT_SIZE, 'd') + "\"}"
                                       : kDefaults.updateStatusJson;
      return true;
    case 19:
      impl.customer.keypadAmount.value = on ? std::string(TLX_KEYPAD_INPUT_SIZE, '9') : "100.00";
      impl.customer.keypadPhone.value =
          on ? std::string(TLX_KEYPAD_INPUT_SIZE, '1') : "13800138000";
      return true;
    default:
      return false;
  }
}

}  // namespace

int Hostile(const Options& o) {
  const int calls = o.shortRun ? 400 : 10000;
  std::printf("hostile terminal: %d calls over the 25 TLX_ functions, both links, seed %u\n", calls,
              o.seed);
  std::fflush(stdout);
  tlxsim::VirtualTerminal vt;
  vt.Start();
  QuickCustomer(vt, 20);
  Hostility h(vt, o.seed);
  std::mt19937 rng(o.seed);
  Violations v("hostile");
  std::map<std::string, std::map<int, int>> byFunction;
  std::map<std::string, int> faults;
  std::vector<double> times;
  const SoakClock::time_point start = SoakClock::now();
  for (int i = 0; i < calls; ++i) {
    const int fn = i % kFunctions == 0 ? std::uniform_int_distribution<int>(0, kFunctions - 1)(rng)
                                       : (i * 7 + i / kFunctions) % kFunctions;
    const bool hid = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
    const int port = hid ? 0 : vt.serialPort();
    const bool bad = std::uniform_int_distribution<int>(0, 99)(rng) < 4 && fn != 1 && fn != 5 &&
                     fn != 6 && fn != 7 && fn != 11;
    Fault f = bad ? Fault() : PickFault(rng, hid);
    const std::string key = Keyword(fn, hid, rng);
    if (key.empty()) f = Fault();
    if (f.kind != FaultKind::None) vt.SetFault(key, f);
    // Oversized answers: texts longer than the caller's area.
    const bool oversized = !bad && f.kind == FaultKind::None &&
                           std::uniform_int_distribution<int>(0, 99)(rng) < 30 &&
                           Oversize(vt, fn, true);
    ++faults[oversized ? "oversized" : KindName(f.kind)];
    double limitS = 0;
    const SoakClock::time_point t0 = SoakClock::now();
    CallResult r = h.Call(fn, port, bad, &limitS);
    const double ms = MsSince(t0);
    times.push_back(ms);
    vt.ClearFaults();
    if (oversized) Oversize(vt, fn, false);
    byFunction[r.what][r.rc]++;
    const std::string where = r.what + " on " + (hid ? "USB" : "serial") + " with " +
                              KindName(f.kind) + (bad ? " (bad argument)" : "") + ", call " +
                              std::to_string(i);
    if (bad ? r.rc != -1 : Allowed(r.what).count(r.rc) == 0)
      v.Add(where + ": result " + std::to_string(r.rc) + " not in its documented set");
    if (!r.outputsIntact) v.Add(where + ": output written outside its buffer or on failure");
    if (ms > limitS * 1000) v.Add(where + ": took " + std::to_string(ms) + " ms");
    if ((i + 1) % 1000 == 0) {
      std::printf("  %d calls, %.0f s, %d violations\n", i + 1, MsSince(start) / 1000, v.Count());
      std::fflush(stdout);
    }
  }
  std::printf("  results per function:\n");
  for (const auto& f : byFunction) {
    std::printf("    %-20s", f.first.c_str());
    int n = 0;
    for (const auto& rc : f.second) {
      std::printf(" %d:%d", rc.first, rc.second);
      n += rc.second;
    }
    std::printf("  (%d calls)\n", n);
  }
  std::printf("  faults:");
  for (const auto& f : faults) std::printf(" %s %d", f.first.c_str(), f.second);
  std::printf("\n  call time ms: median %.0f, p95 %.0f, max %.0f; total %.0f s\n",
              Percentile(times, 50), Percentile(times, 95), Percentile(times, 100),
              MsSince(start) / 1000);
  std::printf("hostile terminal: %d calls, %zu functions, %d violations\n", calls,
              byFunction.size(), v.Count());
  vt.Stop();
  return v.Count();
}

}  // namespace tlxsoak
