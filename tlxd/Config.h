// tlxd's configuration: the link to the terminal, the listening points, the
// limits and the origins allowed to use the WebSocket. Read from
// /etc/tlx/tlxd.conf and then the user's ~/.config/tlx/tlxd.conf (under
// $XDG_CONFIG_HOME when set), whose keys override the system's; or from
// one file given on the command line.
//
// Format: "key = value" lines in sections; '#' or ';' start a comment line.
//   [service]  port, unix_socket, unix_group, web_root, max_message,
//              rate, burst, queue
//   [link]     port, bp, baud
//   [origin ORIGIN]  token, allow (a list of "plain-pin", "keys")
// ORIGIN is "scheme://host[:port]" as browsers send it, or "self": the pages
// tlxd serves itself from web_root on its own port.
#ifndef TLXD_CONFIG_H
#define TLXD_CONFIG_H

#include <map>
#include <string>
#include <vector>

namespace tlxd {

struct OriginRule {
  std::string origin;  // as the browser sends it, or "self"
  std::string token;
  bool allowPlainPin = false;
  bool allowKeys = false;
};

struct Config {
  // Link to the terminal: port 0 USB, n >= 1 serial; bp channel letter or 0.
  int linkPort = 0;
  char linkBp = 0;
  int linkBaud = 9600;

  int port = 47215;        // WebSocket (and page) port on 127.0.0.1 and ::1; 0: any free one
  std::string unixSocket;  // empty: $XDG_RUNTIME_DIR/tlxd.sock
  std::string unixGroup;   // empty: the user's own socket (0600), else 0660 for this group
  std::string webRoot;     // directory of the pages served on the port; empty: none
  long maxMessage = 8L * 1024 * 1024;  // bytes of one request (JSON text)
  double rate = 20;                    // requests a second per client, sustained
  double burst = 40;                   // requests a client may send at once
  int queue = 64;                      // commands waiting behind the running one

  std::vector<OriginRule> origins;

  // The rule for an origin the browser sent, or null. servedPort is the
  // port tlxd listens on (for "self").
  const OriginRule* RuleFor(const std::string& origin, int servedPort) const;
};

// Reads one file into config (keys present override). False with a reason
// in *error when the file cannot be read or holds a line that is not
// understood; a missing optional file is no error.
bool ReadConfigFile(const std::string& path, bool mustExist, Config* config, std::string* error);

// The standard files: the system's, then the user's.
std::vector<std::string> StandardConfigFiles();

}  // namespace tlxd

#endif
