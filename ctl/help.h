// Help texts of tlxctl: the overview, one help per subcommand, the table
// of exit statuses.
#ifndef TLXCTL_HELP_H
#define TLXCTL_HELP_H

#include <string>

#include "cli.h"

namespace tlxctl {

std::string Overview();
std::string CommandHelp(const Subcommand& sub);
// "usage: tlxctl NAME SYNOPSIS" for error messages.
std::string UsageLine(const Subcommand& sub);

}  // namespace tlxctl

#endif
