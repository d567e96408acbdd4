// Command line of tlxctl: the link options, the table of subcommands and
// the parsing of each subcommand's own options and arguments.
#ifndef TLXCTL_CLI_H
#define TLXCTL_CLI_H

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tlxctl {

// A mistake in the command line (or in the environment's defaults for it):
// reported with the usage hint, exit status kExitUsage.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The link parameters every TLX_ function starts with.
struct Link {
  int port = 0;
  char bp = 0;
  int baud = 9600;
};

// Environment variables that give the link options their defaults.
constexpr const char* kPortEnv = "TLX_PORT";
constexpr const char* kBpEnv = "TLX_BP";
constexpr const char* kBaudEnv = "TLX_BAUD";

// Options and arguments of one subcommand.
class Args {
 public:
  const std::vector<std::string>& Positionals() const { return positionals_; }
  bool Has(const std::string& name) const;
  // Value of an option that takes one, or fallback when not given.
  std::string Value(const std::string& name, const std::string& fallback = "") const;
  // All values of an option that may be repeated.
  std::vector<std::string> Values(const std::string& name) const;

  void AddPositional(const std::string& a) { positionals_.push_back(a); }
  void AddFlag(const std::string& name) { flags_.insert(name); }
  void AddValue(const std::string& name, const std::string& v) { values_.emplace(name, v); }

 private:
  std::vector<std::string> positionals_;
  std::set<std::string> flags_;
  std::multimap<std::string, std::string> values_;
};

struct Subcommand;

struct Context {
  Link link;
  bool json = false;
  const Subcommand* sub = nullptr;
  Args args;
};

struct Subcommand {
  const char* name;
  const char* group;     // heading in the overview
  const char* synopsis;  // what follows the name: options and arguments
  const char* summary;   // one line
  const char* details;   // the rest of the help, may be empty
  // Options of the subcommand, comma separated; a trailing '=' marks one
  // that takes a value ("timeout=,show").
  const char* options;
  int minArgs;
  int maxArgs;  // -1: any number
  int (*run)(Context& ctx);
};

// Every subcommand, in the order of the overview.
const std::vector<const Subcommand*>& AllCommands();
const Subcommand* FindCommand(const std::string& name);

// The families register their commands here (one list per source file).
void AddDeviceCommands(std::vector<const Subcommand*>& out);
void AddPinPadCommands(std::vector<const Subcommand*>& out);
void AddInteractionCommands(std::vector<const Subcommand*>& out);
void AddMediaCommands(std::vector<const Subcommand*>& out);
void AddTestKeyCommands(std::vector<const Subcommand*>& out);
void AddLoopCommands(std::vector<const Subcommand*>& out);
void AddProbeCommands(std::vector<const Subcommand*>& out);
void AddTraceCommands(std::vector<const Subcommand*>& out);
void AddHelpCommands(std::vector<const Subcommand*>& out);

// The link options and --json, taken from anywhere on the line; what is
// left is the subcommand's name and its own words. Defaults come from the
// environment (TLX_PORT, TLX_BP, TLX_BAUD).
struct GlobalOptions {
  Link link;
  bool json = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> rest;
};
GlobalOptions ParseGlobal(int argc, char** argv);

// Splits a subcommand's words by its option list; unknown options, missing
// values and a wrong number of arguments are usage errors.
Args ParseCommandArgs(const Subcommand& sub, const std::vector<std::string>& words);
// The option names of a subcommand, without the '=' marks.
std::vector<std::pair<std::string, bool>> OptionList(const Subcommand& sub);

// Value parsers; `what` names the value in the error message.
int ParseInt(const std::string& text, const char* what);
// A whole number lo..hi; anything else is a usage error naming the range.
int ParseRange(const std::string& text, const char* what, int lo, int hi);
// A name from `names` or a number.
int ParseChoice(const std::string& text, const char* what,
                const std::vector<std::pair<std::string, int>>& names);
int ParsePort(const std::string& text, const char* what);
char ParseLetter(const std::string& text, const char* what);
int ParseBaud(const std::string& text, const char* what);
// Text of a BP letter: "A", "9", or "none".
std::string LetterName(char bp);

}  // namespace tlxctl

#endif
