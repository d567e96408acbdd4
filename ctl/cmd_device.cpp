// Device control subcommands: online check, version, update status,
// volume, restart, display switch, global configuration, production check.
#include <string>

#include "cli.h"
#include "report.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

int Online(Context& ctx) {
  Report r(ctx);
  char model[TLX_MODEL_SIZE] = {0};
  const int rc = TLX_CheckOnline(ctx.link.port, ctx.link.bp, ctx.link.baud, model);
  if (rc == TLX_OK) {
    if (model[0] != '\0') {
      r.Field("model", model);
      r.Line(std::string("online: model ") + model);
    } else {
      r.Null("model");
      r.Line("online: the terminal answers, but acknowledges neither model probe");
    }
  } else {
    r.Hint("tlxctl probe looks for the terminal on every port");
  }
  return r.Finish(rc);
}

int Version(Context& ctx) {
  Report r(ctx);
  char version[TLX_VERSION_SIZE] = {0};
  const int rc = TLX_GetVer(ctx.link.port, ctx.link.bp, ctx.link.baud, version);
  if (rc == TLX_OK) {
    r.Field("version", version);
    r.Line(std::string("version: ") + version);
  }
  return r.Finish(rc);
}

int UpdateStatus(Context& ctx) {
  Report r(ctx);
  char result[TLX_UPDATE_TEXT_SIZE] = {0};
  char detail[TLX_UPDATE_TEXT_SIZE] = {0};
  const int rc = TLX_GetUpdateStatus(ctx.link.port, ctx.link.bp, ctx.link.baud, result, detail);
  if (rc == TLX_OK) {
    r.Field("update_result", result);
    r.Line(std::string("update result: ") + result);
    if (std::string(result) == "Fail") {
      r.Field("update_detail", detail);
      r.Line(std::string("detail: ") + detail);
    } else {
      r.Null("update_detail");
    }
  }
  return r.Finish(rc);
}

const std::vector<std::pair<std::string, int>> kVolumeKinds = {
    {"system", 1}, {"key", 2}, {"media", 3}};
const char* const kVolumeNames[] = {"", "system", "key tone", "multimedia"};

int Volume(Context& ctx) {
  const auto& p = ctx.args.Positionals();
  const int kind = ParseChoice(p[0], "KIND", kVolumeKinds);
  if (kind < 1 || kind > 3)
    throw UsageError("KIND takes system (1), key (2) or media (3), not '" + p[0] + "'");
  const int level =
      ParseRange(p[1], kind == 1 ? "LEVEL of the system volume" : "LEVEL", 0, kind == 1 ? 5 : 15);
  Report r(ctx);
  const int rc = TLX_SetVolume(ctx.link.port, ctx.link.bp, ctx.link.baud, kind, level);
  if (rc == TLX_OK) {
    r.Field("kind", kind);
    r.Field("level", level);
    r.Line(std::string(kVolumeNames[kind]) + " volume set to " + std::to_string(level));
  } else if (rc == TLX_ERR_ARG) {
    r.Hint("system volume takes 0..5, key tone and multimedia 0..15");
  }
  return r.Finish(rc);
}

int Restart(Context& ctx) {
  Report r(ctx);
  const int rc = TLX_RestartSys(ctx.link.port, ctx.link.bp, ctx.link.baud);
  if (rc == TLX_OK) r.Line("restart acknowledged");
  return r.Finish(rc);
}

const std::vector<std::pair<std::string, int>> kModules = {
    {"pinpad", 1}, {"screen", 2}, {"evaluator", 3}, {"keypad", 4}};
const std::vector<std::pair<std::string, int>> kOnOff = {{"on", 1}, {"off", 0}};

int Display(Context& ctx) {
  const auto& p = ctx.args.Positionals();
  const int module = ParseChoice(p[0], "MODULE", kModules);
  if (module < 1 || module > 4)
    throw UsageError("MODULE takes pinpad (1), screen (2), evaluator (3) or keypad (4), not '" +
                     p[0] + "'");
  const int show = ParseChoice(p[1], "on|off", kOnOff);
  if (show < 0 || show > 1) throw UsageError("on|off takes on (1) or off (0), not '" + p[1] + "'");
  Report r(ctx);
  const int rc = TLX_SetShowDISP(ctx.link.port, ctx.link.bp, ctx.link.baud, module, show);
  if (rc == TLX_OK) {
    r.Field("module", module);
    r.Field("show", show == 1);
    r.Line("display of module " + p[0] + (show == 1 ? " switched on" : " switched off"));
  }
  return r.Finish(rc);
}

int Config(Context& ctx) {
  const auto& p = ctx.args.Positionals();
  const int first = ParseRange(p[0], "FIRST", 1, 5);
  const int second = ParseRange(p[1], "SECOND", 1, 2);
  Report r(ctx);
  const int rc = TLX_SetGlobalConfig(ctx.link.port, ctx.link.bp, ctx.link.baud, first, second);
  if (rc == TLX_OK) {
    r.Field("first", first);
    r.Field("second", second);
    r.Line("global configuration " + std::to_string(first) + "|" + std::to_string(second) +
           " accepted");
  } else if (rc == TLX_ERR_ARG) {
    r.Hint("FIRST takes 1..5, SECOND 1..2");
  }
  return r.Finish(rc);
}

int Pqc(Context& ctx) {
  Report r(ctx);
  const int rc = TLX_StartPQC(ctx.link.port, ctx.link.bp, ctx.link.baud);
  if (rc == TLX_OK) r.Line("production check started");
  return r.Finish(rc);
}

const Subcommand kCommands[] = {
    {"online", "Device control", "", "online check; prints the model (R40 or k60)",
     "Sends the online check (TLX_CheckOnline): the probe of model R40, then of k60.\n"
     "Exit status 0 when the terminal answers.",
     "", 0, 0, Online},
    {"version", "Device control", "", "application version of the terminal", "", "", 0, 0, Version},
    {"update-status", "Device control", "", "result of the last firmware update",
     "Prints the update result and, when it is \"Fail\", the terminal's detail.", "", 0, 0,
     UpdateStatus},
    {"volume", "Device control", "KIND LEVEL", "sets a volume",
     "KIND: system (level 0..5), key (key tone, 0..15) or media (multimedia,\n"
     "0..15), or the numbers 1, 2, 3.",
     "", 2, 2, Volume},
    {"restart", "Device control", "", "restarts the terminal", "", "", 0, 0, Restart},
    {"display", "Device control", "MODULE on|off", "switches a module's display",
     "MODULE: pinpad, screen (information and signature), evaluator or keypad,\n"
     "or the numbers 1..4. Written only; no reply is read.",
     "", 2, 2, Display},
    {"config", "Device control", "FIRST SECOND", "sends the global configuration",
     "FIRST 1..5, SECOND 1..2; their meaning is the terminal's.", "", 2, 2, Config},
    {"pqc", "Device control", "", "puts the terminal into its production check mode", "", "", 0, 0,
     Pqc},
};

}  // namespace

void AddDeviceCommands(std::vector<const Subcommand*>& out) {
  for (const Subcommand& c : kCommands) out.push_back(&c);
}

}  // namespace tlxctl
