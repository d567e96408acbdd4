#include "Config.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tlxd {

namespace {

std::string Trim(const std::string& s) {
  const char* ws = " \t\r";
  const size_t a = s.find_first_not_of(ws);
  if (a == std::string::npos) return "";
  const size_t b = s.find_last_not_of(ws);
  return s.substr(a, b - a + 1);
}

bool ParseLong(const std::string& text, long low, long high, long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  *out = v;
  return true;
}

bool ParseDouble(const std::string& text, double low, double high, double* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(v >= low && v <= high)) return false;
  *out = v;
  return true;
}

// One "key = value" of a section; false when the key (why stays empty) or
// its value (why says what it takes) is not understood.
bool Apply(const std::string& section, const std::string& key, const std::string& value, Config* c,
           OriginRule* origin, std::string* why) {
  long n = 0;
  if (section == "service") {
    if (key == "port") {
      if (!ParseLong(value, 0, 65535, &n)) return *why = "a port 0..65535", false;
      c->port = static_cast<int>(n);
    } else if (key == "unix_socket") {
      c->unixSocket = value;
    } else if (key == "unix_group") {
      c->unixGroup = value;
    } else if (key == "web_root") {
      c->webRoot = value;
    } else if (key == "max_message") {
      if (!ParseLong(value, 1024, 256L * 1024 * 1024, &n))
        return *why = "1024..268435456 bytes", false;
      c->maxMessage = n;
    } else if (key == "rate") {
      if (!ParseDouble(value, 0.1, 100000, &c->rate)) return *why = "0.1..100000 a second", false;
    } else if (key == "burst") {
      if (!ParseDouble(value, 1, 100000, &c->burst)) return *why = "1..100000", false;
    } else if (key == "queue") {
      if (!ParseLong(value, 1, 10000, &n)) return *why = "1..10000", false;
      c->queue = static_cast<int>(n);
    } else {
      return false;
    }
    return true;
  }
  if (section == "link") {
    if (key == "port") {
      if (!ParseLong(value, 0, 255, &n)) return *why = "0 (USB) or a serial port 1..255", false;
      c->linkPort = static_cast<int>(n);
    } else if (key == "bp") {
      if (value.empty() || value == "0" || value == "none") {
        c->linkBp = 0;
      } else if (value.size() == 1 && std::strchr("ABCK9", value[0]) != nullptr) {
        c->linkBp = value[0];
      } else {
        return *why = "A, B, C, K, 9 or none", false;
      }
    } else if (key == "baud") {
      if (!ParseLong(value, 300, 115200, &n)) return *why = "300..115200", false;
      c->linkBaud = static_cast<int>(n);
    } else {
      return false;
    }
    return true;
  }
  if (origin != nullptr) {
    if (key == "token") {
      if (value.size() < 16) return *why = "at least 16 characters", false;
      origin->token = value;
    } else if (key == "allow") {
      origin->allowPlainPin = origin->allowKeys = false;
      std::stringstream list(value);
      std::string item;
      while (std::getline(list, item, ',')) {
        item = Trim(item);
        if (item == "plain-pin")
          origin->allowPlainPin = true;
        else if (item == "keys")
          origin->allowKeys = true;
        else if (!item.empty() && item != "none")
          return *why = "plain-pin, keys or none", false;
      }
    } else {
      return false;
    }
    return true;
  }
  *why = "a section first";
  return false;
}

}  // namespace

const OriginRule* Config::RuleFor(const std::string& origin, int servedPort) const {
  const std::string p = std::to_string(servedPort);
  const bool self =
      !webRoot.empty() && (origin == "http://127.0.0.1:" + p || origin == "http://[::1]:" + p ||
                           origin == "http://localhost:" + p);
  for (const OriginRule& r : origins) {
    if (r.origin == origin || (self && r.origin == "self")) return &r;
  }
  return nullptr;
}

bool ReadConfigFile(const std::string& path, bool mustExist, Config* config, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    if (!mustExist && errno == ENOENT) return true;
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  std::string section, line;
  OriginRule* origin = nullptr;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    line = Trim(line);
    const std::string where = path + ":" + std::to_string(number) + ": ";
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return *error = where + "a section needs its ']'", false;
      section = Trim(line.substr(1, line.size() - 2));
      origin = nullptr;
      if (section.compare(0, 7, "origin ") == 0) {
        const std::string name = Trim(section.substr(7));
        if (name.empty() || name.find_first_of(" \t") != std::string::npos)
          return *error = where + "an origin section names one origin", false;
        // A later file's section for the same origin replaces the earlier one.
        for (auto it = config->origins.begin(); it != config->origins.end(); ++it) {
          if (it->origin == name) {
            config->origins.erase(it);
            break;
          }
        }
        config->origins.push_back(OriginRule{name, "", false, false});
        origin = &config->origins.back();
      } else if (section != "service" && section != "link") {
        return *error = where + "unknown section [" + section + "]", false;
      }
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return *error = where + "expected key = value", false;
    const std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    std::string why;
    if (!Apply(section, key, value, config, origin, &why))
      return *error =
                 where + (why.empty() ? "unknown key '" + key + "'" : "'" + key + "' needs " + why),
             false;
  }
  for (const OriginRule& r : config->origins) {
    if (r.token.empty()) return *error = path + ": [origin " + r.origin + "] has no token", false;
  }
  return true;
}

std::vector<std::string> StandardConfigFiles() {
  std::vector<std::string> files{"/etc/tlx/tlxd.conf"};
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (xdg != nullptr && xdg[0] == '/')
    files.push_back(std::string(xdg) + "/tlx/tlxd.conf");
  else if (home != nullptr && home[0] != '\0')
    files.push_back(std::string(home) + "/.config/tlx/tlxd.conf");
  return files;
}

}  // namespace tlxd
