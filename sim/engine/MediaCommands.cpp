// Media files on the terminal: upgrade start, delete, query, list.
#include "EngineState.h"
#include "WireText.h"

#include <filesystem>

namespace tlxsim {

namespace {

const std::string kAck("\x02\xaa\x03", 3);

// "type|name" (the name may contain '|').
bool TypeAndName(const std::string& fields, long* type, std::string* name) {
  size_t bar = fields.find('|');
  if (bar == std::string::npos) return false;
  *name = fields.substr(bar + 1);
  return ParseInt(fields.substr(0, bar), type);
}

}  // namespace

void EngineImpl::MediaCommand(Link link, const ParsedCommand& c, Clock::time_point now) {
  const std::string& kw = c.keyword;
  Fault f = TakeFault(kw);
  Reply r;
  r.bytes = r.negative;
  long type = 0;
  std::string name;
  std::error_code ec;
  if (kw == "UPDATE") {
    if (c.fields == "/mnt/sdcard/media/data/update.dat" && HasUpgradePackage()) {
      r.bytes = kAck;
      Log("upgrade package accepted");
    }
  } else if (kw == "DELETE") {
    if (TypeAndName(c.fields, &type, &name)) {
      std::string host = HostPath(MediaPath(int(type), name));
      if (!host.empty() && std::filesystem::is_regular_file(host, ec) &&
          std::filesystem::remove(host, ec))
        r.bytes = kAck;
    }
  } else if (kw == "QUERYFILE") {
    if (TypeAndName(c.fields, &type, &name)) {
      std::string host = HostPath(MediaPath(int(type), name));
      if (!host.empty() && std::filesystem::is_regular_file(host, ec)) {
        auto size = std::filesystem::file_size(host, ec);
        if (!ec) r.bytes = "\x02" + name + "|" + std::to_string(size) + "\x03";
      }
    }
  } else if (kw == "GETFILELIST") {
    if (ParseInt(c.fields, &type)) {
      std::string list;
      for (const std::string& n : MediaFiles(int(type))) list += (list.empty() ? "" : "|") + n;
      r.bytes = "\x02" + list + "\x03";
    }
  }
  Send(link, now, f, r);
}

}  // namespace tlxsim
