// What the host has set on the terminal, copied out of the engine in one
// step for the window to show: model, display switches, volumes, PIN pad
// settings, module timeouts, restarts and the stored media files.
#ifndef TLXSIM_TERMINALSNAPSHOT_H
#define TLXSIM_TERMINALSNAPSHOT_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tlxsim {

class Engine;

struct StoredFile {
  std::string name;
  uint64_t size = 0;
};

struct TerminalSnapshot {
  std::string model;
  std::string version;         // the version text GETDEVICEINFO answers
  std::map<int, int> display;  // module digit -> 0 hidden / 1 shown (set ones only)
  int volumeSystem = 0, volumeKeyTone = 0, volumeMedia = 0;
  int pinLength = 0, pinMode = 0, pinTimeout = 0;
  int activeMaster = -1, activeWork = -1;  // indexes only, never key material
  int masterKeys = 0, workKeys = 0;        // how many are loaded
  std::map<int, int> moduleTimeout;        // module digit -> seconds
  int restarts = 0;
  char selectedChannel = 'A';
  // Media type -> files stored under it (0 adverts, 1 videos, 2 teller
  // photos, 4 upgrade package, 255 named files outside the media folders).
  std::vector<std::pair<int, std::vector<StoredFile>>> media;
  std::string advertFile;  // host path of the first stored advertising picture, or empty
};

// Takes the engine's lock while it copies.
TerminalSnapshot TakeSnapshot(Engine& engine);

}  // namespace tlxsim

#endif
