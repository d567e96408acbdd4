// Media file commands: download (and upgrade), delete, query and list.
#include <unistd.h>

#include <cstring>

#include "commands/workers.h"
#include "transfer/transfer.h"

using namespace tlx;

namespace {

// Longest file name the delete and query commands carry.
enum { kMaxName = TLX_MAX_FILE_NAME };
// Reply capacity of the query, plus the terminator.
enum { kQueryReplyArea = 64 + 1 };

bool NonEmpty(const char* s) { return s != nullptr && s[0] != '\0'; }

// Every media command is read up to ETX within kReplyMs.
int MediaExchange(const Link& link, const char* cmd, char* reply, int cap, int* len) {
  return Exchange(link, cmd, 0, reply, cap, len, EndAtEtx, kReplyMs);
}

// The text between STX and ETX of a complete frame; false for anything else.
bool FramedText(const char* reply, int len, const char** text, int* textLen) {
  if (len < 2 || reply[0] != kStx || reply[len - 1] != kEtx) return false;
  *text = reply + 1;
  *textLen = len - 2;
  return true;
}

}  // namespace

namespace tlx {

int DownloadMedia(const Link& link, int mediaType, const char* path) {
  const char* name = DestinationName(!link.IsUsb(), mediaType, path, nullptr);
  if (name == nullptr) return TLX_ERR_ARG;
  int rc;
  {
    TransferGuard guard;
    if (guard.Busy()) return TLX_ERR_OPEN;
    rc = DownloadFile(link, mediaType, path, name);
  }
  if (rc != TLX_OK || mediaType != 4) return rc;
  char reply[kWorkSize];
  rc = MediaExchange(link, "\x1b[0UPDATE\x02/mnt/sdcard/media/data/update.dat\x03", reply,
                     sizeof reply, nullptr);
  if (rc != TLX_OK) return rc;
  return IsRefusal(reply) ? TLX_ERR_REPLY : TLX_OK;
}

int DeleteMedia(const Link& link, int mediaType, const char* name) {
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[0DELETE\x02%d|%s\x03", mediaType, name);
  char reply[kWorkSize];
  int rc = MediaExchange(link, cmd, reply, sizeof reply, nullptr);
  if (rc != TLX_OK) return rc;
  return IsRefusal(reply) ? TLX_ERR_REPLY : TLX_OK;
}

namespace {

// End of the cancellable part when a TLX_ command runs the worker; the
// exported workers themselves run without one.
int Done(Command* command, int rc) { return command != nullptr ? command->Finish(rc) : rc; }

}  // namespace

int QueryMediaFile(Command* command, const Link& link, int mediaType, const char* name,
                   char* info) {
  if (!NonEmpty(name) || strnlen(name, kMaxName + 1) > kMaxName) return Done(command, TLX_ERR_ARG);
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[0QUERYFILE\x02%d|%s\x03", mediaType, name);
  char reply[kQueryReplyArea];
  int len = 0;
  int rc = MediaExchange(link, cmd, reply, sizeof reply, &len);
  const char* text = nullptr;
  int textLen = 0;
  // A reply cut by the capacity has no closing ETX and is not passed on.
  if (rc == TLX_OK && (IsRefusal(reply) || !FramedText(reply, len, &text, &textLen)))
    rc = TLX_ERR_REPLY;
  rc = Done(command, rc);
  if (rc == TLX_OK && info != nullptr) {
    std::strncpy(info, text, static_cast<size_t>(textLen));
    info[textLen] = '\0';
  }
  return rc;
}

int ListMediaFiles(Command* command, const Link& link, int mediaType, char* list, int listSize) {
  if (list == nullptr || listSize < 0) return Done(command, TLX_ERR_ARG);
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[0GETFILELIST\x02%d\x03", mediaType);
  // The full 4096-byte capacity: a list that fills it is still whole.
  char reply[kWorkSize + 1];
  int len = 0;
  int rc = MediaExchange(link, cmd, reply, sizeof reply, &len);
  const char* text = nullptr;
  int textLen = 0;
  if (rc == TLX_OK && (IsRefusal(reply) || !FramedText(reply, len, &text, &textLen)))
    rc = TLX_ERR_REPLY;
  if (rc == TLX_OK && textLen > listSize) rc = TLX_ERR_BUFFER;
  rc = Done(command, rc);
  if (rc == TLX_OK) {
    std::strncpy(list, text, static_cast<size_t>(textLen));
    if (textLen < listSize) list[textLen] = '\0';
  }
  return rc;
}

}  // namespace tlx

extern "C" {

TLX_EXPORT int TLX_DownLoadFile(int port, char bp, int baud, int mediaType, char* path) {
  const Link link{port, bp, baud};
  Command command;
  if (!NonEmpty(path)) return TLX_ERR_ARG;
  // A missing file is reported before anything goes out, flush included.
  if (access(path, F_OK) != 0) return TLX_ERR_NOFILE;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  return command.Finish(DownloadMedia(link, mediaType, path));
}

TLX_EXPORT int TLX_DeleteFile(int port, char bp, int baud, int mediaType, char* name) {
  const Link link{port, bp, baud};
  Command command;
  if (!NonEmpty(name) || strnlen(name, kMaxName + 1) > kMaxName) return TLX_ERR_ARG;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  return command.Finish(DeleteMedia(link, mediaType, name));
}

TLX_EXPORT int TLX_FindFileInfo(int port, char bp, int baud, int mediaType, char* name,
                                char* info) {
  const Link link{port, bp, baud};
  Command command;
  // A null or empty name is refused by the query after the flush; a name
  // too long for the command is refused before anything is sent.
  if (name != nullptr && strnlen(name, kMaxName + 1) > kMaxName) return TLX_ERR_ARG;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  return QueryMediaFile(&command, link, mediaType, name, info);
}

TLX_EXPORT int TLX_GetFileList(int port, char bp, int baud, int mediaType, char* list,
                               int listSize) {
  const Link link{port, bp, baud};
  Command command;
  if (list == nullptr || listSize < 0) return TLX_ERR_ARG;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  return ListMediaFiles(&command, link, mediaType, list, listSize);
}

}  // extern "C"
