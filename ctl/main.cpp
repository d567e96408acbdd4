// tlxctl: every TLX_ function that makes sense from a shell as a
// subcommand, plus `probe` (where is the terminal) and `trace` (a wire
// trace decoded). See `tlxctl --help` and tlxctl(1).
#include <cstdio>
#include <string>

#include "cancel_on_signal.h"
#include "cli.h"
#include "exit_status.h"
#include "help.h"
#include "tlx_version.h"

using namespace tlxctl;

int main(int argc, char** argv) {
  Context ctx;
  const Subcommand* sub = nullptr;
  try {
    GlobalOptions g = ParseGlobal(argc, argv);
    if (g.version) {
      std::printf("tlxctl %s\n", TLX_VERSION_STRING);
      return kExitOk;
    }
    if (g.rest.empty()) {
      std::fputs(Overview().c_str(), g.help ? stdout : stderr);
      return g.help ? kExitOk : kExitUsage;
    }
    sub = FindCommand(g.rest[0]);
    if (sub == nullptr)
      throw UsageError("no command '" + g.rest[0] + "' (tlxctl --help lists them)");
    if (g.help) {
      std::fputs(CommandHelp(*sub).c_str(), stdout);
      return kExitOk;
    }
    ctx.link = g.link;
    ctx.json = g.json;
    ctx.sub = sub;
    ctx.args = ParseCommandArgs(*sub, std::vector<std::string>(g.rest.begin() + 1, g.rest.end()));
    CancelOnSignal cancel;
    return sub->run(ctx);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "tlxctl: %s\n", e.what());
    if (sub != nullptr) std::fprintf(stderr, "%s\n", UsageLine(*sub).c_str());
    return kExitUsage;
  }
}
