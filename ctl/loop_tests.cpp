#include "loop_tests.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include "cancel_on_signal.h"
#include "gbk_text.h"
#include "text_input.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

const char* const kNames[] = {"pin", "info", "eva", "numpad", "sign", "download"};

long long NowWallMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The calls of one test: each timed; a call is reported when the next one
// starts, the last one with the test's outcome.
class Caller {
 public:
  Caller(LoopTest t, const std::function<void(const LoopCall&)>& report) : t_(t), report_(report) {}
  template <typename Fn>
  int Call(const char* function, Fn fn) {
    if (pending_) report_(last_);
    const auto start = std::chrono::steady_clock::now();
    last_.test = t_;
    last_.function = function;
    last_.code = fn();
    last_.latencyMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    last_.wallMs = NowWallMs();
    last_.outcome = Outcome::None;
    pending_ = true;
    return last_.code;
  }
  // A test that did not pass was stopped when a stop came and either
  // cancelled its last call or cut the test short.
  Outcome Decide(bool passed, bool cutShort = false) {
    if (passed)
      last_.outcome = Outcome::Pass;
    else if (Interrupted() && (cutShort || last_.code == TLX_ERR_CANCEL))
      last_.outcome = Outcome::Stopped;
    else
      last_.outcome = Outcome::Fail;
    report_(last_);
    pending_ = false;
    return last_.outcome;
  }

 private:
  LoopTest t_;
  const std::function<void(const LoopCall&)>& report_;
  LoopCall last_;
  bool pending_ = false;
};

}  // namespace

const std::vector<LoopTest>& AllLoopTests() {
  static const std::vector<LoopTest> all = {LoopTest::Pin,    LoopTest::Info, LoopTest::Eva,
                                            LoopTest::Numpad, LoopTest::Sign, LoopTest::Download};
  return all;
}

const char* LoopTestName(LoopTest t) { return kNames[static_cast<int>(t)]; }

const char* OutcomeName(Outcome o) {
  switch (o) {
    case Outcome::Pass:
      return "pass";
    case Outcome::Fail:
      return "fail";
    case Outcome::Stopped:
      return "stopped";
    default:
      return "";
  }
}

std::vector<LoopTest> ParseLoopTests(const std::string& text) {
  if (text == "all") return AllLoopTests();
  std::vector<bool> chosen(AllLoopTests().size(), false);
  std::stringstream in(text);
  std::string item;
  bool any = false;
  while (std::getline(in, item, ',')) {
    if (item.empty()) continue;
    bool known = false;
    for (LoopTest t : AllLoopTests())
      if (item == LoopTestName(t)) {
        chosen[static_cast<size_t>(t)] = true;
        known = any = true;
      }
    if (!known)
      throw UsageError(
          "--tests takes pin, info, eva, numpad, sign, download (comma separated) "
          "or all, not '" +
          item + "'");
  }
  if (!any) throw UsageError("--tests names no test");
  // Always the tool's order, whatever the order given.
  std::vector<LoopTest> out;
  for (LoopTest t : AllLoopTests())
    if (chosen[static_cast<size_t>(t)]) out.push_back(t);
  return out;
}

bool LoadInfoText(const std::string& path, std::string* gbk, std::string* problem) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *problem = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  std::stringstream all;
  all << in.rdbuf();
  std::string text = all.str();
  // Text mode: CR LF is read as LF; the text ends at a NUL.
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
  const size_t nul = lines.find('\0');
  if (nul != std::string::npos) lines.resize(nul);
  std::string why;
  if (!Utf8ToGbk(lines, gbk, &why)) {
    *problem = path + ": " + why;
    return false;
  }
  return true;
}

Outcome RunLoopTest(LoopTest t, const LoopSettings& s,
                    const std::function<void(const LoopCall&)>& report, std::string* problem) {
  const int port = s.link.port;
  const char bp = s.link.bp;
  const int baud = s.link.baud;
  Caller c(t, report);
  switch (t) {
    case LoopTest::Pin: {
      c.Call("TLX_SetShowDISP", [&] { return TLX_SetShowDISP(port, bp, baud, 1, 1); });
      if (Interrupted()) return c.Decide(false, true);
      const int rc = c.Call("TLX_SetPinLen", [&] { return TLX_SetPinLen(port, bp, baud, 6); });
      if (rc != TLX_OK) return c.Decide(false);
      if (Interrupted()) return c.Decide(false, true);
      char pin[64];
      std::memset(pin, 0, sizeof pin);
      const int code = c.Call("TLX_ReadPin", [&] {
        return TLX_ReadPin(port, bp, baud, 0, 0, s.timeout, pin, sizeof pin);
      });
      Wipe(pin, sizeof pin);
      return c.Decide(code == TLX_OK || code == TLX_ERR_TIMEOUT);
    }
    case LoopTest::Info: {
      std::string text;
      if (!LoadInfoText(s.infoFile, &text, problem)) return Outcome::Fail;
      int result = 0;
      const int code = c.Call("TLX_StartInfo", [&] {
        return TLX_StartInfo(port, bp, baud, s.timeout, &text[0], &result);
      });
      return c.Decide(code == TLX_OK);
    }
    case LoopTest::Eva: {
      std::string name, why;
      Utf8ToGbk("王五", &name, &why);
      std::string number = "100001", photo = s.photo;
      int result = 0;
      const int code = c.Call("TLX_StartEvaluator", [&] {
        return TLX_StartEvaluator(port, bp, baud, &name[0], &number[0], 5, &photo[0], s.timeout,
                                  &result);
      });
      return c.Decide(code == TLX_OK);
    }
    case LoopTest::Numpad: {
      char input[64];
      std::memset(input, 0, sizeof input);
      const int code = c.Call("TLX_StartKeyboard", [&] {
        return TLX_StartKeyboard(port, bp, baud, s.timeout, 1, input);
      });
      return c.Decide(code == TLX_OK || code == TLX_ERR_TIMEOUT);
    }
    case LoopTest::Sign: {
      std::string document = s.document, image = s.image, data = s.data;
      const int code = c.Call("TLX_StartSign", [&] {
        return TLX_StartSign(port, bp, baud, s.timeout, &document[0], &image[0], &data[0]);
      });
      return c.Decide(code == TLX_OK || code == TLX_ERR_TIMEOUT);
    }
    case LoopTest::Download: {
      std::string file = s.downloadFile;
      const int code = c.Call("TLX_DownLoadFile", [&] {
        return TLX_DownLoadFile(port, bp, baud, s.mediaType, &file[0]);
      });
      return c.Decide(code == TLX_OK);
    }
  }
  return Outcome::Fail;
}

}  // namespace tlxctl
