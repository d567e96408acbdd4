#include "help.h"

#include <cjson/cJSON.h>

#include <cstdio>

#include "exit_status.h"
#include "report.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

const char kLinkOptions[] =
    "Link options (anywhere on the line; defaults from the environment):\n"
    "  --port N     0 or usb: USB; n >= 1: serial port n (/dev/ttyS(n-1), or the\n"
    "               pattern in TLX_SERIAL_PATH); default $TLX_PORT, else 0\n"
    "  --bp L       channel A, B, C or K of a port-sharing unit, 9, or none;\n"
    "               default $TLX_BP, else none\n"
    "  --baud R     300 ... 115200; default $TLX_BAUD, else 9600\n"
    "  --json       one JSON object on stdout instead of text\n"
    "  --help       this help; `tlxctl COMMAND --help` for one command\n";

std::string ExitTable() {
  std::string s =
      "Exit status:\n"
      "  0   success\n"
      "  1   tlxctl's own failure (a file to read or write)\n"
      "  2   a mistake in the command line\n"
      "  3   probe: no terminal answered\n"
      "  4   loop: a test failed\n";
  for (int i = 1; i < kResultCodeCount; ++i) {
    char line[160];
    std::snprintf(line, sizeof line, "  %-3d result %d: %s\n", ExitStatusOf(kResultCodes[i]),
                  kResultCodes[i], TLX_StrError(kResultCodes[i]));
    s += line;
  }
  char last[96];
  std::snprintf(last, sizeof last, "  %-3d a result code not listed here\n", kExitUnknownResult);
  return s + last;
}

// The command table for scripts (and the test of the bash completion).
int HelpJson() {
  cJSON* list = cJSON_CreateArray();
  for (const Subcommand* c : AllCommands()) {
    cJSON* o = cJSON_CreateObject();
    cJSON_AddStringToObject(o, "name", c->name);
    cJSON_AddStringToObject(o, "group", c->group);
    cJSON_AddStringToObject(o, "synopsis", c->synopsis);
    cJSON_AddStringToObject(o, "summary", c->summary);
    cJSON* options = cJSON_AddArrayToObject(o, "options");
    for (const auto& opt : OptionList(*c)) {
      cJSON* item = cJSON_CreateObject();
      cJSON_AddStringToObject(item, "name", opt.first.c_str());
      cJSON_AddBoolToObject(item, "value", opt.second);
      cJSON_AddItemToArray(options, item);
    }
    cJSON_AddItemToArray(list, o);
  }
  PrintJson(list);
  cJSON_Delete(list);
  return kExitOk;
}

int Help(Context& ctx) {
  const auto& p = ctx.args.Positionals();
  if (ctx.json && p.empty()) return HelpJson();
  if (p.empty()) {
    std::fputs(Overview().c_str(), stdout);
    return kExitOk;
  }
  const Subcommand* sub = FindCommand(p[0]);
  if (sub == nullptr) throw UsageError("no command '" + p[0] + "'");
  std::fputs(CommandHelp(*sub).c_str(), stdout);
  return kExitOk;
}

int Codes(Context& ctx) {
  if (ctx.json) {
    cJSON* list = cJSON_CreateArray();
    for (int i = 0; i < kResultCodeCount; ++i) {
      cJSON* o = cJSON_CreateObject();
      cJSON_AddNumberToObject(o, "result", kResultCodes[i]);
      cJSON_AddStringToObject(o, "text", TLX_StrError(kResultCodes[i]));
      cJSON_AddNumberToObject(o, "exit", ExitStatusOf(kResultCodes[i]));
      cJSON_AddItemToArray(list, o);
    }
    PrintJson(list);
    cJSON_Delete(list);
    return kExitOk;
  }
  std::fputs(ExitTable().c_str(), stdout);
  return kExitOk;
}

const Subcommand kCommands[] = {
    {"help", "Help", "[COMMAND]", "this overview, or the help of COMMAND", "", "", 0, 1, Help},
    {"codes", "Help", "", "the result codes and their exit statuses", "", "", 0, 0, Codes},
};

}  // namespace

std::string UsageLine(const Subcommand& sub) {
  std::string s = std::string("usage: tlxctl ") + sub.name;
  if (sub.synopsis[0] != '\0') s += std::string(" ") + sub.synopsis;
  return s;
}

std::string Overview() {
  std::string s =
      "usage: tlxctl [LINK OPTIONS] COMMAND [ARGUMENTS]\n"
      "Command-line client of libtlxdev for the TLX counter terminal.\n";
  std::string group;
  for (const Subcommand* c : AllCommands()) {
    if (group != c->group) {
      group = c->group;
      s += "\n" + group + ":\n";
    }
    char line[256];
    std::snprintf(line, sizeof line, "  %-14s %s\n", c->name, c->summary);
    s += line;
  }
  s += "\n";
  s += kLinkOptions;
  s += "\n" + ExitTable();
  s += "\nKeys are read from a file or standard input, never from the command line.\n"
       "A PIN or PIN block is printed only with --show. Ctrl-C cancels a waiting\n"
       "command, which still ends cleanly (status 19). TLX_TRACE=FILE makes the\n"
       "library append every exchange to FILE (keys and PINs masked); `tlxctl trace\n"
       "FILE` decodes it. See tlxctl(1).\n";
  return s;
}

std::string CommandHelp(const Subcommand& sub) {
  std::string s = UsageLine(sub) + "\n" + sub.summary + "\n";
  if (sub.details[0] != '\0') s += std::string("\n") + sub.details + "\n";
  s += std::string("\n") + kLinkOptions;
  return s;
}

void AddHelpCommands(std::vector<const Subcommand*>& out) {
  for (const Subcommand& c : kCommands) out.push_back(&c);
}

}  // namespace tlxctl
