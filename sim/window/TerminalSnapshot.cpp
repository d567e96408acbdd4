#include "TerminalSnapshot.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <mutex>

#include "EngineState.h"

namespace tlxsim {

namespace {

bool IsPicture(const std::string& name) {
  std::string ext =
      name.substr(name.rfind('.') == std::string::npos ? name.size() : name.rfind('.'));
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".bmp";
}

}  // namespace

TerminalSnapshot TakeSnapshot(Engine& engine) {
  EngineImpl& impl = engine.Impl();
  TerminalSnapshot s;
  std::lock_guard<std::mutex> lock(impl.mu);
  const TerminalState& st = impl.state;
  s.model = st.model;
  s.version = st.versionJson;
  s.display = st.display;
  s.volumeSystem = st.volumeSystem;
  s.volumeKeyTone = st.volumeKeyTone;
  s.volumeMedia = st.volumeMedia;
  s.pinLength = st.pinLength;
  s.pinMode = st.pinMode;
  s.pinTimeout = st.pinTimeout;
  s.activeMaster = st.activeMaster;
  s.activeWork = st.activeWork;
  for (const std::string& k : st.masterKeys) s.masterKeys += k.empty() ? 0 : 1;
  s.workKeys = static_cast<int>(st.workKeys.size());
  s.moduleTimeout = st.moduleTimeout;
  s.restarts = st.restarts;
  s.selectedChannel = st.selectedChannel;
  for (int type : {0, 1, 2, 4, 255}) {
    std::vector<StoredFile> files;
    for (const std::string& name : impl.MediaFiles(type)) {
      StoredFile f;
      f.name = name;
      std::error_code ec;
      const auto size = std::filesystem::file_size(impl.HostPath(impl.MediaPath(type, name)), ec);
      f.size = ec ? 0 : static_cast<uint64_t>(size);
      if (type == 0 && s.advertFile.empty() && IsPicture(name))
        s.advertFile = impl.HostPath(impl.MediaPath(0, name));
      files.push_back(std::move(f));
    }
    s.media.emplace_back(type, std::move(files));
  }
  return s;
}

}  // namespace tlxsim
