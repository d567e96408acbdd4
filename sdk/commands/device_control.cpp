// Device control commands: configuration, production check, version and
// update status, volume, restart, online check, cancel and display switch.
#include <cjson/cJSON.h>

#include <cstring>

#include "core/tlx_internal.h"
#include "tlxdev.h"

using namespace tlx;

namespace {

// Runs one command read up to ETX into a kWorkSize reply, which stays
// NUL-terminated.
int ReplyExchange(const Link& link, const char* cmd, char* reply, int timeoutMs) {
  return Exchange(link, cmd, 0, reply, kWorkSize, nullptr, EndAtEtx, timeoutMs);
}

// Accepted unless the second reply byte is 'U'.
int SimpleCommand(Command& command, const Link& link, const char* cmd) {
  if (!command.Start(link)) return TLX_ERR_OPEN;
  char reply[kWorkSize];
  int rc = ReplyExchange(link, cmd, reply, kReplyMs);
  if (rc == TLX_OK && reply[1] == kRefusedMark) rc = TLX_ERR_REPLY;
  return command.Finish(rc);
}

// The reply must be the acknowledgement.
int AckCommand(Command& command, const Link& link, const char* cmd) {
  if (!command.Start(link)) return TLX_ERR_OPEN;
  char reply[kWorkSize];
  int rc = ReplyExchange(link, cmd, reply, kReplyMs);
  if (rc == TLX_OK && !IsAck(reply)) rc = TLX_ERR_REPLY;
  return command.Finish(rc);
}

// Parses the JSON text between the frame bytes in place: the reply buffer is
// NUL-terminated at its last byte, so a text of any length the reply can hold
// is read without copying it anywhere.
cJSON* ParseFramedJson(char* reply) {
  if (IsRefusal(reply)) return nullptr;
  size_t n = std::strlen(reply);
  if (n < 2) return nullptr;
  reply[n - 1] = '\0';
  return cJSON_Parse(reply + 1);
}

const char* StringItem(const cJSON* object, const char* key) {
  const cJSON* item = cJSON_GetObjectItem(object, key);
  if (item == nullptr || !cJSON_IsString(item) || item->valuestring == nullptr) return nullptr;
  return item->valuestring;
}

bool FitsWithNul(const char* text, size_t cap) { return std::strlen(text) < cap; }

}  // namespace

extern "C" {

TLX_EXPORT int TLX_SetGlobalConfig(int port, char bp, int baud, int first, int second) {
  const Link link{port, bp, baud};
  Command command;
  if (first < 1 || first > 5 || second < 1 || second > 2) return TLX_ERR_ARG;
  char cmd[260] = {0};
  Format(cmd, sizeof cmd, "\x1b[0SETGLOBALCONFIG\x02%d|%d\x03", first, second);
  return SimpleCommand(command, link, cmd);
}

TLX_EXPORT int TLX_StartPQC(int port, char bp, int baud) {
  const Link link{port, bp, baud};
  Command command;
  return SimpleCommand(command, link, "\x1b[0;NERIVAX_PRODUCTION_START_PQCR");
}

TLX_EXPORT int TLX_GetVer(int port, char bp, int baud, char* version) {
  const Link link{port, bp, baud};
  Command command;
  if (version == nullptr) return TLX_ERR_ARG;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  char reply[kWorkSize];
  int rc = ReplyExchange(link, "\x1b[0GETDEVICEINFO", reply, kReplyMs);
  if (rc != TLX_OK) return command.Finish(rc);
  cJSON* doc = ParseFramedJson(reply);
  if (doc == nullptr) return command.Finish(TLX_ERR_REPLY);
  const cJSON* app = cJSON_GetObjectItem(cJSON_GetObjectItem(doc, "Version"), "app");
  const char* text = StringItem(app, "version");
  if (text == nullptr) {
    rc = TLX_ERR_REPLY;
  } else if (!FitsWithNul(text, TLX_VERSION_SIZE)) {
    rc = TLX_ERR_BUFFER;
  }
  rc = command.Finish(rc);
  if (rc == TLX_OK) std::strcpy(version, text);
  cJSON_Delete(doc);
  return rc;
}

TLX_EXPORT int TLX_GetUpdateStatus(int port, char bp, int baud, char* result, char* detail) {
  const Link link{port, bp, baud};
  Command command;
  if (result == nullptr || detail == nullptr) return TLX_ERR_ARG;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  char reply[kWorkSize];
  int rc = ReplyExchange(link, "\x1b[0GETUPDATESTATUS", reply, kReplyMs);
  if (rc != TLX_OK) return command.Finish(rc);
  cJSON* doc = ParseFramedJson(reply);
  if (doc == nullptr) return command.Finish(TLX_ERR_REPLY);
  const char* res = StringItem(doc, "UpdateResult");
  const char* det = nullptr;
  if (res == nullptr) {
    rc = TLX_ERR_REPLY;
  } else if (std::strcmp(res, "Fail") == 0 && (det = StringItem(doc, "UpdateDetail")) == nullptr) {
    rc = TLX_ERR_REPLY;
  } else if (!FitsWithNul(res, TLX_UPDATE_TEXT_SIZE) ||
             (det != nullptr && !FitsWithNul(det, TLX_UPDATE_TEXT_SIZE))) {
    rc = TLX_ERR_BUFFER;
  }
  rc = command.Finish(rc);
  if (rc == TLX_OK) {
    if (det != nullptr) std::strcpy(detail, det);
    std::strcpy(result, res);
  }
  cJSON_Delete(doc);
  return rc;
}

TLX_EXPORT int TLX_SetVolume(int port, char bp, int baud, int kind, int level) {
  const Link link{port, bp, baud};
  Command command;
  int maxLevel = kind == 1 ? 5 : (kind == 2 || kind == 3) ? 15 : -1;
  if (maxLevel < 0 || level < 0 || level > maxLevel) return TLX_ERR_ARG;
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[0SETVOLUME\x02%d|%d\x03", kind, level);
  return AckCommand(command, link, cmd);
}

TLX_EXPORT int TLX_RestartSys(int port, char bp, int baud) {
  const Link link{port, bp, baud};
  Command command;
  return AckCommand(command, link, "\x1b[0RESTART");
}

TLX_EXPORT int TLX_CheckOnline(int port, char bp, int baud, char* model) {
  const Link link{port, bp, baud};
  Command command;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  char reply[kWorkSize];
  const char* found = nullptr;
  int rc = ReplyExchange(link, "\x1b[0CHECKR40", reply, kProbeMs);
  if (rc == TLX_OK && IsAck(reply)) {
    found = "R40";
  } else {
    rc = ReplyExchange(link, "\x1b[0CHECKk60", reply, kProbeMs);
    if (rc == TLX_OK && IsAck(reply)) found = "k60";
  }
  rc = command.Finish(rc);
  if (rc == TLX_OK && found != nullptr && model != nullptr) std::memcpy(model, found, 4);
  return rc;
}

TLX_EXPORT int TLX_CancelRead(int, char, int) { return CancelCommand(); }

TLX_EXPORT int TLX_SetShowDISP(int port, char bp, int baud, int module, int show) {
  const Link link{port, bp, baud};
  static const char kModuleDigit[] = {'1', '2', '4', '5'};
  Command command;
  if (module < 1 || module > 4 || show < 0 || show > 1) return TLX_ERR_ARG;
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[%c;SETDISP\x02%d\x03", kModuleDigit[module - 1], show);
  if (!command.Start(link)) return TLX_ERR_OPEN;
  return command.Finish(SendOnly(link, cmd));
}

}  // extern "C"
