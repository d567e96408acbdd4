// Parsing of tlxctl's command line and the table of its subcommands.
#include "cli.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tlxctl {

bool Args::Has(const std::string& name) const {
  return flags_.count(name) != 0 || values_.count(name) != 0;
}

std::string Args::Value(const std::string& name, const std::string& fallback) const {
  auto range = values_.equal_range(name);
  if (range.first == range.second) return fallback;
  auto last = range.second;
  --last;
  return last->second;  // the last one given wins
}

std::vector<std::string> Args::Values(const std::string& name) const {
  std::vector<std::string> out;
  auto range = values_.equal_range(name);
  for (auto it = range.first; it != range.second; ++it) out.push_back(it->second);
  return out;
}

const std::vector<const Subcommand*>& AllCommands() {
  static const std::vector<const Subcommand*> all = [] {
    std::vector<const Subcommand*> v;
    AddDeviceCommands(v);
    AddPinPadCommands(v);
    AddTestKeyCommands(v);
    AddInteractionCommands(v);
    AddMediaCommands(v);
    AddLoopCommands(v);
    AddProbeCommands(v);
    AddTraceCommands(v);
    AddHelpCommands(v);
    return v;
  }();
  return all;
}

const Subcommand* FindCommand(const std::string& name) {
  for (const Subcommand* c : AllCommands())
    if (name == c->name) return c;
  return nullptr;
}

int ParseInt(const std::string& text, const char* what) {
  if (text.empty()) throw UsageError(std::string(what) + " is empty");
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || v < INT_MIN || v > INT_MAX ||
      std::isspace(static_cast<unsigned char>(text[0])))
    throw UsageError(std::string(what) + " must be a whole number, not '" + text + "'");
  return static_cast<int>(v);
}

int ParseRange(const std::string& text, const char* what, int lo, int hi) {
  const std::string range = std::string(what) + " takes " + std::to_string(lo) + ".." +
                            std::to_string(hi) + ", not '" + text + "'";
  int v = 0;
  try {
    v = ParseInt(text, what);
  } catch (const UsageError&) {
    throw UsageError(range);
  }
  if (v < lo || v > hi) throw UsageError(range);
  return v;
}

int ParseChoice(const std::string& text, const char* what,
                const std::vector<std::pair<std::string, int>>& names) {
  for (const auto& n : names)
    if (text == n.first) return n.second;
  if (!text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-'))
    return ParseInt(text, what);
  std::string known;
  for (const auto& n : names) known += (known.empty() ? "" : ", ") + n.first;
  throw UsageError(std::string(what) + " must be one of " + known + " or a number, not '" + text +
                   "'");
}

int ParsePort(const std::string& text, const char* what) {
  if (text == "usb") return 0;
  int port = ParseInt(text, what);
  if (port < 0) throw UsageError(std::string(what) + " must be 0 (USB) or a serial port 1, 2, ...");
  return port;
}

char ParseLetter(const std::string& text, const char* what) {
  if (text.empty() || text == "none" || text == "-") return 0;
  if (text.size() == 1) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (c == 'A' || c == 'B' || c == 'C' || c == 'K' || c == '9') return c;
  }
  throw UsageError(std::string(what) + " must be A, B, C, K, 9 or none, not '" + text + "'");
}

int ParseBaud(const std::string& text, const char* what) {
  static const int kRates[] = {300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  int baud = ParseInt(text, what);
  for (int r : kRates)
    if (r == baud) return baud;
  throw UsageError(std::string(what) +
                   " must be one of 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200");
}

std::string LetterName(char bp) {
  if (bp == 0) return "none";
  return std::string(1, bp);
}

namespace {

// "--name=value" or "--name value": the value, consuming the next word.
bool TakeValue(const std::vector<std::string>& words, size_t* i, const std::string& name,
               std::string* value) {
  const std::string& w = words[*i];
  if (w == name) {
    if (*i + 1 >= words.size()) throw UsageError("option " + name + " needs a value");
    *value = words[++*i];
    return true;
  }
  if (w.compare(0, name.size() + 1, name + "=") == 0) {
    *value = w.substr(name.size() + 1);
    return true;
  }
  return false;
}

Link LinkFromEnvironment() {
  Link link;
  if (const char* p = std::getenv(kPortEnv); p != nullptr && *p != '\0')
    link.port = ParsePort(p, kPortEnv);
  if (const char* b = std::getenv(kBpEnv); b != nullptr) link.bp = ParseLetter(b, kBpEnv);
  if (const char* r = std::getenv(kBaudEnv); r != nullptr && *r != '\0')
    link.baud = ParseBaud(r, kBaudEnv);
  return link;
}

}  // namespace

GlobalOptions ParseGlobal(int argc, char** argv) {
  GlobalOptions g;
  g.link = LinkFromEnvironment();
  std::vector<std::string> words(argv + 1, argv + argc);
  bool passthrough = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    std::string v;
    if (passthrough || w.empty() || w[0] != '-') {
      g.rest.push_back(w);
    } else if (w == "--") {
      passthrough = true;
      g.rest.push_back(w);
    } else if (TakeValue(words, &i, "--port", &v)) {
      g.link.port = ParsePort(v, "--port");
    } else if (TakeValue(words, &i, "--bp", &v)) {
      g.link.bp = ParseLetter(v, "--bp");
    } else if (TakeValue(words, &i, "--baud", &v)) {
      g.link.baud = ParseBaud(v, "--baud");
    } else if (w == "--json") {
      g.json = true;
    } else if (w == "--help" || w == "-h") {
      g.help = true;
    } else if (w == "--version") {
      g.version = true;
    } else {
      g.rest.push_back(w);
    }
  }
  return g;
}

std::vector<std::pair<std::string, bool>> OptionList(const Subcommand& sub) {
  std::vector<std::pair<std::string, bool>> out;
  std::string all = sub.options != nullptr ? sub.options : "";
  size_t pos = 0;
  while (pos < all.size()) {
    size_t comma = all.find(',', pos);
    std::string item =
        all.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    if (!item.empty()) {
      bool takesValue = item.back() == '=';
      if (takesValue) item.pop_back();
      out.emplace_back("--" + item, takesValue);
    }
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return out;
}

Args ParseCommandArgs(const Subcommand& sub, const std::vector<std::string>& words) {
  const auto options = OptionList(sub);
  Args args;
  bool onlyPositionals = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    // A lone "-" is an argument (standard input), as are negative numbers.
    if (onlyPositionals || w.size() < 2 || w[0] != '-' ||
        std::isdigit(static_cast<unsigned char>(w[1]))) {
      args.AddPositional(w);
      continue;
    }
    if (w == "--") {
      onlyPositionals = true;
      continue;
    }
    bool known = false;
    for (const auto& opt : options) {
      std::string v;
      if (opt.second) {
        if (TakeValue(words, &i, opt.first, &v)) {
          args.AddValue(opt.first, v);
          known = true;
        }
      } else if (w == opt.first) {
        args.AddFlag(opt.first);
        known = true;
      } else if (w.compare(0, opt.first.size() + 1, opt.first + "=") == 0) {
        throw UsageError("option " + opt.first + " takes no value");
      }
      if (known) break;
    }
    if (!known) throw UsageError("unknown option '" + w + "' for '" + sub.name + "'");
  }
  const int n = static_cast<int>(args.Positionals().size());
  if (n < sub.minArgs) throw UsageError(std::string("'") + sub.name + "' needs more arguments");
  if (sub.maxArgs >= 0 && n > sub.maxArgs)
    throw UsageError(std::string("too many arguments for '") + sub.name + "'");
  return args;
}

}  // namespace tlxctl
