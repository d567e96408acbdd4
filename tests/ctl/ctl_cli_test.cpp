// tlxctl's command line: help, usage errors, the environment's defaults for
// the link options, the exit statuses as documented, the bash completion.
#include <algorithm>
#include <sstream>

#include "CtlTest.h"
#include "tlxdev.h"

namespace tlxtest {
namespace {

CtlResult Ctl(std::vector<std::string> args,
              std::vector<std::pair<std::string, std::string>> env = {}) {
  CtlRun run;
  run.args = std::move(args);
  run.env = std::move(env);
  return RunCtl(run);
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// Runs the completion function on a command line whose last word is being
// completed; the candidates it offers.
std::vector<std::string> Complete(const std::string& words) {
  const std::string script = std::string("source '") + TLXCTL_COMPLETION + "'; COMP_WORDS=(" +
                             words +
                             "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _tlxctl; "
                             "printf '%s\\n' \"${COMPREPLY[@]}\"";
  const std::string cmd = "bash -c \"$TLX_SCRIPT\"";
  setenv("TLX_SCRIPT", script.c_str(), 1);
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  if (p != nullptr) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  unsetenv("TLX_SCRIPT");
  return Words(out);
}

TEST(CtlCli, HelpListsEveryCommandAndEachHasItsOwn) {
  CtlResult r = Ctl({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.compare(0, 48, "usage: tlxctl [LINK OPTIONS] COMMAND [ARGUMENTS]"), 0) << r.out;
  Json table = ParseJson(Ctl({"--json", "help"}).out);
  ASSERT_TRUE(table);
  ASSERT_GE(cJSON_GetArraySize(table.get()), 27);
  const cJSON* c = nullptr;
  cJSON_ArrayForEach(c, table.get()) {
    const std::string name = JsonString(c, "name");
    EXPECT_NE(r.out.find("\n  " + name + " "), std::string::npos) << name;
    CtlResult h = Ctl({name, "--help"});
    EXPECT_EQ(h.status, 0) << name;
    EXPECT_EQ(h.out.compare(0, 14 + name.size(), "usage: tlxctl " + name), 0) << h.out;
    EXPECT_NE(h.out.find(JsonString(c, "summary")), std::string::npos) << name;
    EXPECT_EQ(Ctl({"help", name}).out, h.out);
  }
  // Without a command: the overview on stderr, a usage error.
  r = Ctl({});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("usage: tlxctl"), std::string::npos);
  EXPECT_EQ(Ctl({"--version"}).out, std::string("tlxctl ") + TLX_VERSION_STRING + "\n");
}

TEST(CtlCli, EveryInterfaceFunctionThatMakesSenseFromAShellHasACommand) {
  Json table = ParseJson(Ctl({"--json", "help"}).out);
  ASSERT_TRUE(table);
  std::vector<std::string> names;
  const cJSON* c = nullptr;
  cJSON_ArrayForEach(c, table.get()) names.push_back(JsonString(c, "name"));
  for (const char* n :
       {"online",   "version",  "update-status", "volume",    "restart",    "display",
        "config",   "pqc",      "pin-length",    "key-reset", "master-key", "work-key",
        "activate", "read-pin", "pin-block",     "info",      "evaluate",   "keypad",
        "sign",     "download", "delete",        "query",     "list",       "probe",
        "trace",    "codes",    "help"})
    EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << n;
}

TEST(CtlCli, UsageErrorsAreExit2AndSayWhat) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"frobnicate"}, "no command 'frobnicate'"},
      {{"volume", "system"}, "'volume' needs more arguments"},
      {{"restart", "now"}, "too many arguments for 'restart'"},
      {{"read-pin", "--colour"}, "unknown option '--colour' for 'read-pin'"},
      {{"read-pin", "--timeout"}, "option --timeout needs a value"},
      {{"read-pin", "--show=yes"}, "option --show takes no value"},
      {{"read-pin", "--timeout", "ten"}, "--timeout takes 1..999, not 'ten'"},
      {{"--port", "-2", "online"}, "--port must be 0 (USB) or a serial port"},
      {{"--bp", "D", "online"}, "--bp must be A, B, C, K, 9 or none, not 'D'"},
      {{"--baud", "14400", "online"}, "--baud must be one of 300, 1200"},
  };
  for (const Case& k : cases) {
    CtlResult r = Ctl(k.args);
    EXPECT_EQ(r.status, 2) << k.message;
    EXPECT_NE(r.err.find(k.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  // A command's usage line follows its error.
  EXPECT_NE(Ctl({"volume"}).err.find("usage: tlxctl volume KIND LEVEL"), std::string::npos);
  // Defaults from the environment are checked like the options.
  CtlResult r = Ctl({"online"}, {{"TLX_BAUD", "fast"}});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("TLX_BAUD must be a whole number"), std::string::npos) << r.err;
}

TEST(CtlCli, ExitStatusesAreDistinctAndDocumented) {
  Json codes = ParseJson(Ctl({"--json", "codes"}).out);
  ASSERT_TRUE(codes);
  ASSERT_EQ(cJSON_GetArraySize(codes.get()), 11);
  const std::string man = ReadFile(TLXCTL_MANPAGE);
  const std::string overview = Ctl({"--help"}).out;
  std::vector<int> seen = {1, 2, 3};
  const cJSON* c = nullptr;
  cJSON_ArrayForEach(c, codes.get()) {
    const int result = static_cast<int>(JsonNumber(c, "result"));
    const int status = static_cast<int>(JsonNumber(c, "exit"));
    EXPECT_EQ(JsonString(c, "text"), TLX_StrError(result));
    if (result == 0) {
      EXPECT_EQ(status, 0);
      continue;
    }
    EXPECT_EQ(std::find(seen.begin(), seen.end(), status), seen.end()) << status;
    seen.push_back(status);
    const std::string text = TLX_StrError(result);
    // The manual and the overview each list the status with its code and text.
    EXPECT_NE(man.find(".B " + std::to_string(status) + "\nResult \\-" + std::to_string(-result) +
                       ": " + text + ".\n"),
              std::string::npos)
        << status << " " << text;
    EXPECT_NE(
        overview.find(std::to_string(status) + "  result " + std::to_string(result) + ": " + text),
        std::string::npos)
        << text;
  }
}

TEST(CtlCli, CompletionKnowsEveryCommandAndOption) {
  Json table = ParseJson(Ctl({"--json", "help"}).out);
  ASSERT_TRUE(table);
  std::vector<std::string> names;
  const cJSON* c = nullptr;
  cJSON_ArrayForEach(c, table.get()) names.push_back(JsonString(c, "name"));
  std::vector<std::string> offered = Complete("tlxctl ''");
  std::sort(names.begin(), names.end());
  std::sort(offered.begin(), offered.end());
  EXPECT_EQ(offered, names);

  cJSON_ArrayForEach(c, table.get()) {
    const std::string name = JsonString(c, "name");
    std::vector<std::string> expected = {"--port", "--bp", "--baud", "--json", "--help"};
    const cJSON* o = nullptr;
    cJSON_ArrayForEach(o, cJSON_GetObjectItem(c, "options"))
        expected.push_back(JsonString(o, "name"));
    std::vector<std::string> got = Complete("tlxctl --port 1 " + name + " --");
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected) << name;
  }
  EXPECT_EQ(Complete("tlxctl --bp ''"),
            (std::vector<std::string>{"none", "A", "B", "C", "K", "9"}));
  EXPECT_EQ(Complete("tlxctl download --type ''"),
            (std::vector<std::string>{"ad", "video", "photo", "upgrade", "named"}));
  EXPECT_EQ(Complete("tlxctl keypad --mode p"), (std::vector<std::string>{"phone"}));
}

// The link options' defaults come from the environment; an option on the
// line wins.
class CtlEnvironment : public CtlTest {};

TEST_F(CtlEnvironment, LinkDefaultsFromTheEnvironment) {
  CtlRun run;
  run.args = {"--json", "online"};
  run.env = {{"TLX_PORT", std::to_string(SerialPort())}, {"TLX_BP", "b"}, {"TLX_BAUD", "115200"}};
  CtlResult r = RunCtl(run);
  EXPECT_EQ(r.status, 0) << r.err;
  Json j = ParseJson(r.out);
  ASSERT_TRUE(j);
  const cJSON* link = cJSON_GetObjectItem(j.get(), "link");
  EXPECT_EQ(JsonNumber(link, "port"), SerialPort());
  EXPECT_EQ(JsonString(link, "bp"), "B");
  EXPECT_EQ(JsonNumber(link, "baud"), 115200);
  bool selectedB = false;
  for (const auto& rec : Settled()) selectedB = selectedB || rec.bytes == "\x1b%B";
  EXPECT_TRUE(selectedB);

  run.args = {"--json", "--port", "usb", "online"};
  r = RunCtl(run);
  EXPECT_EQ(r.status, 0) << r.err;
  j = ParseJson(r.out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonNumber(cJSON_GetObjectItem(j.get(), "link"), "port"), 0);
}

}  // namespace
}  // namespace tlxtest
