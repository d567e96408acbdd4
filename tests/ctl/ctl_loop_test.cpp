// tlxctl loop against the virtual terminal: the loop test tool's calls and
// pass rules, a CSV line (or JSON line) per call, the summary at the end and
// after Ctrl-C, where the cancelled call counts as stopped, not failed.
#include <sstream>

#include "CtlTest.h"

namespace tlxtest {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, ',');) out.push_back(f);
  if (!line.empty() && line.back() == ',') out.push_back("");
  return out;
}

class CtlLoop : public CtlLinkTest {
 protected:
  void SetUp() override {
    CtlLinkTest::SetUp();
    WriteFile(Scratch("info.txt"), "请确认\r\n金额：100元");
    WriteFile(Scratch("ad.jpg"), std::string(1500, 'j'));
    WriteFile(Scratch("hwBack.pdf"), "%PDF-1.4 sample\n");
    tlxsim::Customer quick;
    quick.info = {true, 20, "B0F"};
    quick.evaluator = {true, 20, "B1F"};
    quick.keypadPhone = {true, 20, "13800138000"};
    quick.pin = {true, 20, "123456"};
    quick.sign = {true, 20, ""};
    SetCustomer(quick);
  }
};

TEST_P(CtlLoop, EveryTestPassesAgainstAWillingCustomer) {
  CtlResult r = Run({"loop", "--tests", "download,sign,numpad,eva,info,pin", "--count", "2",
                     "--interval", "0", "--file", Scratch("ad.jpg"), "--image", Scratch("hw.png"),
                     "--data", Scratch("hw.ini")});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 1u + 2 * 8) << r.out;
  EXPECT_EQ(lines[0], "time,loop,test,function,code,latency_ms,result");
  // The tool's order, whatever the order asked for; the pin test's first
  // two calls decide nothing.
  const char* const expected[][3] = {
      {"pin", "TLX_SetShowDISP", ""},        {"pin", "TLX_SetPinLen", ""},
      {"pin", "TLX_ReadPin", "pass"},        {"info", "TLX_StartInfo", "pass"},
      {"eva", "TLX_StartEvaluator", "pass"}, {"numpad", "TLX_StartKeyboard", "pass"},
      {"sign", "TLX_StartSign", "pass"},     {"download", "TLX_DownLoadFile", "pass"}};
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = Fields(lines[i]);
    ASSERT_EQ(f.size(), 7u) << lines[i];
    EXPECT_EQ(f[0].size(), 24u) << "ISO time with milliseconds: " << f[0];
    EXPECT_EQ(f[1], i <= 8 ? "1" : "2");
    EXPECT_EQ(f[2], expected[(i - 1) % 8][0]);
    EXPECT_EQ(f[3], expected[(i - 1) % 8][1]);
    EXPECT_EQ(f[4], "0");
    EXPECT_GT(std::stod(f[5]), 0.0);
    EXPECT_EQ(f[6], expected[(i - 1) % 8][2]);
  }
  EXPECT_NE(r.err.find("loop summary (finished): 2 loops, 16 calls in "), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("  pin            2       2       0        0\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("  download       2       2       0        0\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("  failures by code: none\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("  latency ms: min "), std::string::npos) << r.err;
}

TEST_P(CtlLoop, PassRulesOfTheTool) {
  // No answer at all: the number pad passes on -2, the information test
  // does not (it passes on 0 only, the terminal's own answers included).
  SetFault("FA", {FaultKind::Silence});
  SetFault("2A", {FaultKind::Silence, 0, 1});
  CtlResult r = Run({"--json", "loop", "--tests", "info,numpad", "--count", "2", "--interval", "0",
                     "--timeout", "1"});
  EXPECT_EQ(r.status, 4) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 5u) << r.out;
  std::vector<std::pair<int, std::string>> calls;
  for (size_t i = 0; i < 4; ++i) {
    Json j = ParseJson(lines[i]);
    ASSERT_TRUE(j) << lines[i];
    EXPECT_EQ(JsonString(j.get(), "type"), "call");
    calls.emplace_back(static_cast<int>(JsonNumber(j.get(), "code")),
                       JsonString(j.get(), "result"));
  }
  EXPECT_EQ(calls[0], std::make_pair(-2, std::string("fail")));  // info, no answer
  EXPECT_EQ(calls[1], std::make_pair(-2, std::string("pass")));  // number pad, no answer
  EXPECT_EQ(calls[2].second, "pass");                            // info confirmed
  EXPECT_EQ(calls[3], std::make_pair(-2, std::string("pass")));
  Json summary = ParseJson(lines[4]);
  ASSERT_TRUE(summary);
  EXPECT_EQ(JsonString(summary.get(), "type"), "summary");
  EXPECT_EQ(JsonString(summary.get(), "state"), "finished");
  EXPECT_EQ(JsonNumber(summary.get(), "calls"), 4);
  const cJSON* tests = cJSON_GetObjectItem(summary.get(), "tests");
  EXPECT_EQ(JsonNumber(cJSON_GetObjectItem(tests, "info"), "passed"), 1);
  EXPECT_EQ(JsonNumber(cJSON_GetObjectItem(tests, "info"), "failed"), 1);
  EXPECT_EQ(JsonNumber(cJSON_GetObjectItem(tests, "numpad"), "passed"), 2);
  const cJSON* failures = cJSON_GetObjectItem(summary.get(), "failures");
  ASSERT_EQ(cJSON_GetArraySize(failures), 1);
  EXPECT_EQ(JsonNumber(cJSON_GetArrayItem(failures, 0), "code"), -2);
  EXPECT_EQ(JsonNumber(cJSON_GetArrayItem(failures, 0), "count"), 1);
  const cJSON* latency = cJSON_GetObjectItem(summary.get(), "latency_ms");
  EXPECT_LE(JsonNumber(latency, "min"), JsonNumber(latency, "median"));
  EXPECT_LE(JsonNumber(latency, "median"), JsonNumber(latency, "p95"));
  EXPECT_LE(JsonNumber(latency, "p95"), JsonNumber(latency, "max"));
  EXPECT_GE(JsonNumber(latency, "max"), 1000.0) << "the silent number pad waited its timeout";
  EXPECT_NE(r.err.find("  failures by code:\n      -2 no complete reply in time"),
            std::string::npos)
      << r.err;
}

TEST_P(CtlLoop, CtrlCStopsTheWaitingCallAsStoppedNotFailed) {
  SetFault("FA", {FaultKind::Silence});
  CtlResult r = Run({"loop", "--tests", "numpad", "--count", "0", "--timeout", "60"}, "", [this] {
    return WasSent(
        "\x1b"
        "FA\r\n");
  });
  EXPECT_EQ(r.status, 0) << "a stop is no failure: " << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  const std::vector<std::string> f = Fields(lines[1]);
  ASSERT_EQ(f.size(), 7u);
  EXPECT_EQ(f[3], "TLX_StartKeyboard");
  EXPECT_EQ(f[4], "-9");
  EXPECT_EQ(f[6], "stopped");
  EXPECT_NE(r.err.find("loop summary (stopped): 0 loops, 1 calls"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("  numpad         1       0       0        1\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("failures by code: none"), std::string::npos) << r.err;
}

TEST_P(CtlLoop, DurationPeriodicSummariesAndAnOutputFile) {
  CtlResult r = Run({"loop", "--tests", "numpad", "--for", "2s", "--interval", "0",
                     "--summary-every", "1s", "--out", Scratch("calls.csv")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::vector<std::string> lines = Lines(ReadFile(Scratch("calls.csv")));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "time,loop,test,function,code,latency_ms,result");
  EXPECT_NE(r.err.find("loop summary (running): "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("loop summary (finished): "), std::string::npos) << r.err;
  // A second run appends, without a second header.
  EXPECT_EQ(
      Run({"loop", "--tests", "numpad", "--count", "1", "--out", Scratch("calls.csv")}).status, 0);
  const std::vector<std::string> more = Lines(ReadFile(Scratch("calls.csv")));
  EXPECT_EQ(more.size(), lines.size() + 1);
  EXPECT_EQ(more.back().substr(more.back().size() - 5), ",pass");
}

TEST_P(CtlLoop, UsageAndFileErrors) {
  ExpectRangeError(Run({"loop", "--tests", "pin,coffee"}),
                   "--tests takes pin, info, eva, numpad, sign, download (comma separated) or all, "
                   "not 'coffee'");
  ExpectRangeError(Run({"loop", "--tests", "download"}), "the download test needs --file FILE");
  ExpectRangeError(Run({"loop", "--for", "3 weeks"}),
                   "--for takes a duration such as 90s, 30m, 72h or 2d");
  ExpectRangeError(Run({"loop", "--timeout", "0"}), "--timeout takes 1..999, not '0'");
  ExpectRangeError(Run({"loop", "--format", "xml"}), "--format takes csv or json, not 'xml'");
  CtlResult r = Run({"loop", "--tests", "info", "--info", Scratch("missing.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read " + Scratch("missing.txt")), std::string::npos) << r.err;
  EXPECT_TRUE(Sent().empty());
}

TLX_CTL_BOTH_LINKS(CtlLoop);

}  // namespace
}  // namespace tlxtest
