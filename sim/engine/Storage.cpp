// The terminal's file system, kept below the engine's storage directory.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "EngineState.h"

namespace fs = std::filesystem;

namespace tlxsim {

std::string EngineImpl::HostPath(const std::string& terminalPath) const {
  std::string rel;
  size_t start = 0;
  while (start <= terminalPath.size()) {
    size_t slash = terminalPath.find('/', start);
    if (slash == std::string::npos) slash = terminalPath.size();
    std::string part = terminalPath.substr(start, slash - start);
    start = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == ".." || part.find('\0') != std::string::npos) return std::string();
    rel += "/" + part;
  }
  if (rel.empty()) return std::string();
  return storageDir + rel;
}

std::string EngineImpl::MediaPath(int mediaType, const std::string& name) const {
  if (mediaType == 4) return "/mnt/sdcard/media/data/update.dat";
  if (name.empty() || name == "." || name == "..") return std::string();
  if (mediaType == 255) {
    if (name[0] == '/') return name;
    return "/mnt/sdcard/media/file/" + name;
  }
  if (name.find('/') != std::string::npos) return std::string();
  switch (mediaType) {
    case 0:
      return "/mnt/sdcard/media/ad/" + name;
    case 1:
      return "/mnt/sdcard/media/video/" + name;
    case 2:
      return "/mnt/sdcard/media/photo/" + name;
    default:
      return "/mnt/sdcard/media/type" + std::to_string(mediaType) + "/" + name;
  }
}

bool EngineImpl::ReadTerminalFile(const std::string& terminalPath, std::string* bytes) const {
  std::string host = HostPath(terminalPath);
  if (host.empty()) return false;
  std::error_code ec;
  if (!fs::is_regular_file(host, ec)) return false;
  std::ifstream in(host, std::ios::binary);
  if (!in) return false;
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  *bytes = std::move(data);
  return true;
}

bool EngineImpl::WriteTerminalFile(const std::string& terminalPath, const std::string& bytes) {
  std::string host = HostPath(terminalPath);
  if (host.empty()) return false;
  std::error_code ec;
  fs::create_directories(fs::path(host).parent_path(), ec);
  if (ec) return false;
  std::string tmp = host + ".part";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  fs::rename(tmp, host, ec);
  return !ec;
}

std::vector<std::string> EngineImpl::MediaFiles(int mediaType) const {
  std::vector<std::string> names;
  std::string probe = MediaPath(mediaType, "x");
  if (probe.empty()) return names;
  std::string dir = HostPath(probe.substr(0, probe.rfind('/')));
  std::error_code ec;
  if (dir.empty() || !fs::is_directory(dir, ec)) return names;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    if (!e.is_regular_file()) continue;
    std::string n = e.path().filename().string();
    if (n.size() > 5 && n.compare(n.size() - 5, 5, ".part") == 0) continue;
    if (mediaType == 4 && n != "update.dat") continue;
    names.push_back(n);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool EngineImpl::HasUpgradePackage() const {
  std::string host = HostPath("/mnt/sdcard/media/data/update.dat");
  std::error_code ec;
  return fs::is_regular_file(host, ec);
}

}  // namespace tlxsim
