// Media file commands: download (and upgrade), delete, query and list.
#include "commands/media.h"

#include <unistd.h>

#include <cstring>

#include "commands/replies.h"
#include "session/session.h"
#include "tlxdev.h"
#include "transfer/transfer.h"

using namespace tlx;

namespace {

// Longest file name the delete and query commands carry.
enum { kMaxName = TLX_MAX_FILE_NAME };
enum { kQueryReplySize = 64 };

bool NonEmpty(const char* s) { return s != nullptr && s[0] != '\0'; }

int Exchange(int port, char bp, int baud, const char* cmd, char* reply, int cap, int* len) {
  std::memset(reply, 0, static_cast<size_t>(cap));
  *len = cap - 1;
  return TransProc(port, bp, baud, const_cast<char*>(cmd), reply, len, EndOfCondition1, 2000);
}

// The text between STX and ETX of a complete frame; false for anything else.
bool FramedText(const char* reply, int len, const char** text, int* textLen) {
  if (len < 2 || reply[0] != 0x02 || reply[len - 1] != 0x03) return false;
  *text = reply + 1;
  *textLen = len - 2;
  return true;
}

}  // namespace

TLX_EXPORT int DownMediaFile(int port, char bp, int baud, int mediaType, char* path) {
  if (!NonEmpty(path)) return TLX_ERR_ARG;
  int rc = DownLoadFile(port, bp, baud, mediaType, path, nullptr);
  if (rc != TLX_OK || mediaType != 4) return rc;
  char reply[kWorkSize];
  int len = 0;
  rc = Exchange(port, bp, baud, "\x1b[0UPDATE\x02/mnt/sdcard/media/data/update.dat\x03", reply,
                sizeof reply, &len);
  if (rc != TLX_OK) return rc;
  return IsRefusal(reply) ? TLX_ERR_REPLY : TLX_OK;
}

TLX_EXPORT int DeleteMediaFile(int port, char bp, int baud, int mediaType, char* name) {
  if (!NonEmpty(name) || strnlen(name, kMaxName + 1) > kMaxName) return TLX_ERR_ARG;
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[0DELETE\x02%d|%s\x03", mediaType, name);
  char reply[kWorkSize];
  int len = 0;
  int rc = Exchange(port, bp, baud, cmd, reply, sizeof reply, &len);
  if (rc != TLX_OK) return rc;
  return IsRefusal(reply) ? TLX_ERR_REPLY : TLX_OK;
}

TLX_EXPORT int FindMediaFileInfo(int port, char bp, int baud, int mediaType, char* name,
                                 char* info) {
  if (!NonEmpty(name) || strnlen(name, kMaxName + 1) > kMaxName) return TLX_ERR_ARG;
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[0QUERYFILE\x02%d|%s\x03", mediaType, name);
  // One byte more than the reply capacity keeps the reply terminated.
  char reply[kQueryReplySize + 1];
  int len = 0;
  std::memset(reply, 0, sizeof reply);
  len = kQueryReplySize;
  int rc = TransProc(port, bp, baud, cmd, reply, &len, EndOfCondition1, 2000);
  if (rc != TLX_OK) return rc;
  const char* text = nullptr;
  int textLen = 0;
  // A reply cut by the capacity has no closing ETX and is not passed on.
  if (IsRefusal(reply) || !FramedText(reply, len, &text, &textLen)) return TLX_ERR_REPLY;
  if (info != nullptr) {
    std::strncpy(info, text, static_cast<size_t>(textLen));
    info[textLen] = '\0';
  }
  return TLX_OK;
}

TLX_EXPORT int GetMediaFileList(int port, char bp, int baud, int mediaType, char* list,
                                int listSize) {
  if (list == nullptr || listSize < 0) return TLX_ERR_ARG;
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[0GETFILELIST\x02%d\x03", mediaType);
  // The full 4096-byte capacity: a list that fills it is still whole.
  char reply[kWorkSize + 1];
  int len = 0;
  int rc = Exchange(port, bp, baud, cmd, reply, sizeof reply, &len);
  if (rc != TLX_OK) return rc;
  const char* text = nullptr;
  int textLen = 0;
  if (IsRefusal(reply) || !FramedText(reply, len, &text, &textLen)) return TLX_ERR_REPLY;
  if (textLen > listSize) return TLX_ERR_BUFFER;
  std::strncpy(list, text, static_cast<size_t>(textLen));
  if (textLen < listSize) list[textLen] = '\0';
  return TLX_OK;
}

extern "C" {

TLX_EXPORT int TLX_DownLoadFile(int port, char bp, int baud, int mediaType, char* path) {
  if (!NonEmpty(path)) return TLX_ERR_ARG;
  // A missing file is reported before anything goes out, flush included.
  if (access(path, F_OK) != 0) return TLX_ERR_NOFILE;
  CommandGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  FlushPort(port, bp, baud);
  return DownMediaFile(port, bp, baud, mediaType, path);
}

TLX_EXPORT int TLX_DeleteFile(int port, char bp, int baud, int mediaType, char* name) {
  if (!NonEmpty(name) || strnlen(name, kMaxName + 1) > kMaxName) return TLX_ERR_ARG;
  CommandGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  FlushPort(port, bp, baud);
  return DeleteMediaFile(port, bp, baud, mediaType, name);
}

TLX_EXPORT int TLX_FindFileInfo(int port, char bp, int baud, int mediaType, char* name,
                                char* info) {
  if (!NonEmpty(name) || strnlen(name, kMaxName + 1) > kMaxName) return TLX_ERR_ARG;
  CommandGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  FlushPort(port, bp, baud);
  return FindMediaFileInfo(port, bp, baud, mediaType, name, info);
}

TLX_EXPORT int TLX_GetFileList(int port, char bp, int baud, int mediaType, char* list,
                               int listSize) {
  if (list == nullptr || listSize < 0) return TLX_ERR_ARG;
  CommandGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  FlushPort(port, bp, baud);
  return GetMediaFileList(port, bp, baud, mediaType, list, listSize);
}

}  // extern "C"
