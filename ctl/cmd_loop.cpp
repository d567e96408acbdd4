// tlxctl loop: the loop test tool's runs from a shell, for soak tests of
// days. A line per call (CSV or JSON lines: time, loop, test, function,
// code, latency, and the outcome on the call that decides its test), a
// summary at the end, on Ctrl-C and every --summary-every.
#include <cjson/cJSON.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "cancel_on_signal.h"
#include "cli.h"
#include "exit_status.h"
#include "loop_stats.h"
#include "loop_tests.h"
#include "report.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

using Clock = std::chrono::steady_clock;

// "90", "90s", "30m", "72h", "2d": seconds.
long ParseDuration(const std::string& text, const char* what) {
  const std::string bad =
      std::string(what) + " takes a duration such as 90s, 30m, 72h or 2d, not '" + text + "'";
  if (text.empty()) throw UsageError(bad);
  long unit = 1;
  std::string number = text;
  switch (text.back()) {
    case 's':
      unit = 1;
      number.pop_back();
      break;
    case 'm':
      unit = 60;
      number.pop_back();
      break;
    case 'h':
      unit = 3600;
      number.pop_back();
      break;
    case 'd':
      unit = 86400;
      number.pop_back();
      break;
    default:
      break;
  }
  long value = 0;
  try {
    value = ParseInt(number, what);
  } catch (const UsageError&) {
    throw UsageError(bad);
  }
  if (value < 0 || value > 366L * 86400 / unit) throw UsageError(bad);
  return value * unit;
}

std::string IsoTime(long long wallMs) {
  const std::time_t secs = static_cast<std::time_t>(wallMs / 1000);
  std::tm tm;
  gmtime_r(&secs, &tm);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(wallMs % 1000));
  return buf;
}

class CallWriter {
 public:
  CallWriter(std::FILE* out, bool json) : out_(out), json_(json) {}
  void Header(bool fileHasData) {
    if (!json_ && !fileHasData) {
      std::fputs("time,loop,test,function,code,latency_ms,result\n", out_);
      std::fflush(out_);
    }
  }
  void Call(long loop, const LoopCall& c) {
    if (json_) {
      cJSON* o = cJSON_CreateObject();
      cJSON_AddStringToObject(o, "type", "call");
      cJSON_AddStringToObject(o, "time", IsoTime(c.wallMs).c_str());
      cJSON_AddNumberToObject(o, "loop", static_cast<double>(loop));
      cJSON_AddStringToObject(o, "test", LoopTestName(c.test));
      cJSON_AddStringToObject(o, "function", c.function.c_str());
      cJSON_AddNumberToObject(o, "code", c.code);
      cJSON_AddStringToObject(o, "text", TLX_StrError(c.code));
      cJSON_AddNumberToObject(o, "latency_ms",
                              static_cast<double>(static_cast<long>(c.latencyMs * 10)) / 10);
      if (c.outcome != Outcome::None) cJSON_AddStringToObject(o, "result", OutcomeName(c.outcome));
      Print(o);
    } else {
      std::fprintf(out_, "%s,%ld,%s,%s,%d,%.1f,%s\n", IsoTime(c.wallMs).c_str(), loop,
                   LoopTestName(c.test), c.function.c_str(), c.code, c.latencyMs,
                   OutcomeName(c.outcome));
      std::fflush(out_);
    }
  }
  // A summary: on stderr for a person; in a JSON lines stream also as a line.
  void Summary(const LoopStats& stats, const std::vector<LoopTest>& tests, double elapsed,
               const char* state) {
    const std::string text = stats.Text(tests, elapsed, state);
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    if (json_) Print(stats.Json(tests, elapsed, state));
  }

 private:
  void Print(cJSON* o) {
    char* text = cJSON_PrintUnformatted(o);
    if (text != nullptr) {
      std::fprintf(out_, "%s\n", text);
      std::free(text);
    }
    cJSON_Delete(o);
    std::fflush(out_);
  }

  std::FILE* out_;
  bool json_;
};

int Loop(Context& ctx) {
  const std::vector<LoopTest> tests = ParseLoopTests(ctx.args.Value("--tests", "all"));
  const bool hasCount = ctx.args.Has("--count");
  const bool hasFor = ctx.args.Has("--for");
  const int count = hasCount ? ParseRange(ctx.args.Value("--count"), "--count", 0, 2000000000)
                             : (hasFor ? 0 : 100);
  const long forSeconds = hasFor ? ParseDuration(ctx.args.Value("--for"), "--for") : 0;
  if (hasFor && forSeconds == 0) throw UsageError("--for takes a duration above 0");
  const int interval = ctx.args.Has("--interval")
                           ? ParseRange(ctx.args.Value("--interval"), "--interval", 0, 86400)
                           : 1;
  const long summaryEvery =
      ParseDuration(ctx.args.Value("--summary-every", "1h"), "--summary-every");
  const std::string format = ctx.args.Value("--format", ctx.json ? "json" : "csv");
  if (format != "csv" && format != "json")
    throw UsageError("--format takes csv or json, not '" + format + "'");

  LoopSettings s;
  s.link = ctx.link;
  s.timeout =
      ctx.args.Has("--timeout") ? ParseRange(ctx.args.Value("--timeout"), "--timeout", 1, 999) : 3;
  s.infoFile = ctx.args.Value("--info", s.infoFile);
  s.photo = ctx.args.Value("--photo", s.photo);
  s.document = ctx.args.Value("--document", s.document);
  s.image = ctx.args.Value("--image", s.image);
  s.data = ctx.args.Value("--data", s.data);
  s.downloadFile = ctx.args.Value("--file");
  static const std::vector<std::pair<std::string, int>> kTypes = {
      {"ad", 0}, {"video", 1}, {"photo", 2}};
  s.mediaType =
      ctx.args.Has("--type") ? ParseChoice(ctx.args.Value("--type"), "--type", kTypes) : 0;
  if (s.mediaType < 0 || s.mediaType > 2)
    throw UsageError("--type takes ad (0), video (1) or photo (2), not '" +
                     ctx.args.Value("--type") + "'");

  Report r(ctx);
  bool download = false, info = false;
  for (LoopTest t : tests) {
    download = download || t == LoopTest::Download;
    info = info || t == LoopTest::Info;
  }
  if (download && s.downloadFile.empty()) throw UsageError("the download test needs --file FILE");
  if (download && ::access(s.downloadFile.c_str(), R_OK) != 0)
    return r.Fail("cannot read " + s.downloadFile + " for the download test", kExitLocal);
  std::string problem, text;
  if (info && !LoadInfoText(s.infoFile, &text, &problem))
    return r.Fail(problem + " (the info test's text; --info FILE)", kExitLocal);

  std::FILE* out = stdout;
  bool hasData = false;
  const std::string outPath = ctx.args.Value("--out");
  if (!outPath.empty()) {
    out = std::fopen(outPath.c_str(), "a");
    if (out == nullptr) return r.Fail("cannot write " + outPath, kExitLocal);
    struct stat st;
    hasData = ::stat(outPath.c_str(), &st) == 0 && st.st_size > 0;
  }
  CallWriter writer(out, format == "json");
  writer.Header(hasData);

  LoopStats stats;
  const Clock::time_point start = Clock::now();
  Clock::time_point lastSummary = start;
  auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  auto timeUp = [&] { return hasFor && elapsed() >= static_cast<double>(forSeconds); };
  auto periodic = [&] {
    if (summaryEvery <= 0) return;
    if (std::chrono::duration<double>(Clock::now() - lastSummary).count() < summaryEvery) return;
    lastSummary = Clock::now();
    writer.Summary(stats, tests, elapsed(), "running");
  };

  const char* state = "finished";
  long loop = 0;
  int lastCode = 0;
  for (;;) {
    if (Interrupted()) {
      state = "stopped";
      break;
    }
    if ((count > 0 && loop >= count) || timeUp()) break;
    ++loop;
    bool ended = false;
    for (LoopTest t : tests) {
      if (Interrupted()) break;
      const Outcome o = RunLoopTest(
          t, s,
          [&](const LoopCall& c) {
            stats.AddCall(c);
            lastCode = c.code;
            writer.Call(loop, c);
          },
          &problem);
      if (!problem.empty()) {
        // As the loop tool does: a text file that went away ends the run.
        stats.AddOutcome(t, Outcome::None, 0);
        std::fprintf(stderr, "tlxctl: loop: %s; the run ends\n", problem.c_str());
        state = "ended";
        ended = true;
        break;
      }
      stats.AddOutcome(t, o, lastCode);
      periodic();
      if (o == Outcome::Stopped) break;
    }
    if (ended) break;
    if (Interrupted()) {
      state = "stopped";
      break;
    }
    stats.AddLoop();
    if ((count > 0 && loop >= count) || timeUp()) break;
    // The pause between loops; a stop or the end of --for cuts it short.
    const Clock::time_point until = Clock::now() + std::chrono::seconds(interval);
    while (Clock::now() < until && !Interrupted() && !timeUp()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      periodic();
    }
  }
  writer.Summary(stats, tests, elapsed(), state);
  if (out != stdout) std::fclose(out);
  if (!problem.empty()) return kExitLocal;
  return stats.Failed() > 0 ? kExitLoopFailures : kExitOk;
}

const Subcommand kCommands[] = {
    {"loop", "Loop test",
     "[--tests LIST] [--count N | --for DURATION] [--interval S] [--timeout S] [--format csv|json] "
     "[--out FILE] [--summary-every DURATION] [--info FILE] [--photo NAME] [--document FILE] "
     "[--image FILE] [--data FILE] [--file FILE] [--type ad|video|photo]",
     "runs the loop test tool's tests again and again: a line per call, summaries",
     "Runs the tests of --tests (pin, info, eva, numpad, sign, download, comma\n"
     "separated, or all; always in that order) once per loop, --count N loops\n"
     "(default 100; 0: until stopped) or --for a duration (90s, 30m, 72h, 2d),\n"
     "pausing --interval seconds (default 1) after each loop. The calls and pass\n"
     "rules are the loop test tool's, with --timeout seconds (default 3):\n"
     "  pin       TLX_SetShowDISP(1, 1), TLX_SetPinLen(6), TLX_ReadPin: 0 or -2\n"
     "  info      TLX_StartInfo with the text of --info (default info.txt): 0\n"
     "  eva       TLX_StartEvaluator (teller 100001, 5 stars, --photo, default\n"
     "            photo.jpg): 0\n"
     "  numpad    TLX_StartKeyboard, phone number mode: 0 or -2\n"
     "  sign      TLX_StartSign(--document hwBack.pdf, --image /tmp/hw.png,\n"
     "            --data /tmp/hw.ini): 0 or -2\n"
     "  download  TLX_DownLoadFile(--type, --file FILE): 0\n"
     "Every call is a line on standard output (or appended to --out FILE): CSV\n"
     "time,loop,test,function,code,latency_ms,result (result on the call that\n"
     "decides its test: pass, fail or stopped), or JSON lines with --format json\n"
     "(or --json). A summary (calls, tried/passed/failed/stopped per test,\n"
     "failures by code, latency min/median/p95/max, calls per minute) goes to\n"
     "standard error at the end, on Ctrl-C and every --summary-every (default 1h;\n"
     "0: none); with JSON lines it is a line of the stream too. Ctrl-C cancels\n"
     "the waiting call, which counts as stopped, not failed, and ends the run.\n"
     "Exit status 0 when no test failed, 4 when one did.",
     "tests=,count=,for=,interval=,timeout=,format=,out=,summary-every=,info=,photo=,document=,"
     "image=,data=,file=,type=",
     0, 0, Loop},
};

}  // namespace

void AddLoopCommands(std::vector<const Subcommand*>& out) {
  for (const Subcommand& c : kCommands) out.push_back(&c);
}

}  // namespace tlxctl
