// Customer interaction commands: information to confirm, evaluation of the
// teller, keypad entry and handwritten signature.
#include "commands/interaction.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "commands/replies.h"
#include "session/session.h"
#include "tlxdev.h"
#include "transfer/transfer.h"
#include "util/util.h"

using namespace tlx;

namespace {

enum { kMaxInfoText = TLX_MAX_INFO_TEXT };
enum { kInfoHexSize = 102400, kInfoCmdSize = 102500 };
enum { kPhotoNameSize = 128 };

struct DocumentKind {
  const char* extension;
  int kind;
  const char* terminalName;
};

const DocumentKind kDocumentKinds[] = {
    {"pdf", 3, "/tmp/infoviewer.pdf"},
    {"jpg", 2, "/tmp/infoviewer.jpg"},
    {"html", 1, "/tmp/infoviewer.html"},
};

const DocumentKind* KindOf(const char* document) {
  const char* dot = std::strrchr(document, '.');
  const char* ext = dot != nullptr ? dot + 1 : "";
  for (const DocumentKind& k : kDocumentKinds)
    if (strcasecmp(ext, k.extension) == 0) return &k;
  return nullptr;
}

bool NonEmpty(const char* s) { return s != nullptr && s[0] != '\0'; }

// Reads a three-character status answer ('B', digit, 'F') after sending cmd.
int StatusExchange(int port, char bp, int baud, char* cmd, int cmdLen, int timeoutMs,
                   char* answer) {
  std::memset(answer, 0, 4);
  int len = 3;
  return TransProc(port, bp, baud, cmd, cmdLen, answer, &len, EndOfCondition3, timeoutMs);
}

int InfoResult(const char* a) {
  if (std::strncmp(a, "B0F", 3) == 0) return 0;
  if (std::strncmp(a, "B1F", 3) == 0) return 1;
  if (std::strncmp(a, "B3F", 3) == 0) return 3;
  return 4;
}

// -1 when the answer is not one of the evaluator's four.
int EvaluatorResult(const char* a) {
  if (std::strncmp(a, "B0F", 3) == 0) return 4;
  if (std::strncmp(a, "B1F", 3) == 0) return 1;
  if (std::strncmp(a, "B2F", 3) == 0) return 2;
  if (std::strncmp(a, "B3F", 3) == 0) return 3;
  return -1;
}

int PullSignatureFile(char bp, int baud, const char* terminalPath, char* localPath) {
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[0PULLFILE\x02%s\x03", terminalPath);
  return PullFile(0, bp, baud, 3000, static_cast<int>(std::strlen(cmd)), cmd,
                  localPath);
}

}  // namespace

TLX_EXPORT int StartSign(int port, char bp, int baud, int timeout, int kind) {
  SendOnly(port, bp, baud, "\x1b[2C");
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[2HANDSIGN\x02%d|%d\x03", kind, timeout);
  char reply[260] = {0};
  int len = sizeof reply - 1;
  int rc = TransProc(port, bp, baud, cmd, reply, &len, EndOfCondition1, timeout * 1000);
  if (rc == TLX_OK) {
    rc = CheckAndGetResponse(reply, len);
    if (rc == TLX_OK) return TLX_OK;
  }
  SendOnly(port, bp, baud, "\x1b[2C");
  return rc;
}

TLX_EXPORT int StartHandSign(int port, char bp, int baud, int timeout, char* document,
                             char* imagePath, char* dataPath) {
  (void)port;
  if (timeout < 1 || timeout > 999 || !NonEmpty(document) || !NonEmpty(imagePath) ||
      !NonEmpty(dataPath))
    return TLX_ERR_ARG;
  const DocumentKind* kind = KindOf(document);
  if (kind == nullptr) return TLX_ERR_ARG;
  // The document, the signing and both pulls go over the USB HID link.
  const int hid = 0;
  int rc = DownLoadFile(hid, bp, baud, 255, document, const_cast<char*>(kind->terminalName));
  if (rc < 0) return rc;
  rc = StartSign(hid, bp, baud, timeout, kind->kind);
  if (rc < 0) return rc;
  rc = PullSignatureFile(bp, baud, "/tmp/hw.png", imagePath);
  if (rc < 0) return rc;
  return PullSignatureFile(bp, baud, "/tmp/hw.xml", dataPath);
}

extern "C" {

TLX_EXPORT int TLX_StartInfo(int port, char bp, int baud, int timeout, char* info, int* result) {
  if (!NonEmpty(info) || result == nullptr || timeout < 1 || timeout > 999) return TLX_ERR_ARG;
  size_t textLen = strnlen(info, kMaxInfoText + 1);
  if (textLen > kMaxInfoText) return TLX_ERR_ARG;
  CommandGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  FlushPort(port, bp, baud);
  SendOnly(port, bp, baud, "\x1b[2C");
  char cmd[64] = {0};
  Format(cmd, sizeof cmd, "\x1b[2;%dT", timeout);
  int rc = SendOnly(port, bp, baud, cmd);
  if (rc != TLX_OK) return rc;

  char hex[kInfoHexSize + 1];
  char show[kInfoCmdSize];
  std::memset(hex, 0, sizeof hex);
  std::memset(show, 0, sizeof show);
  HexAsc1Split(info, static_cast<int>(textLen), hex, kInfoHexSize);
  Format(show, sizeof show, "\x1b[2A\x02%s\x03", hex);
  char answer[4];
  rc = StatusExchange(port, bp, baud, show, 0, timeout * 1000 + 2000, answer);
  if (rc == TLX_OK) *result = InfoResult(answer);
  SendOnly(port, bp, baud, "\x1b[2C");
  return rc;
}

TLX_EXPORT int TLX_StartEvaluator(int port, char bp, int baud, char* tellerName, char* tellerNo,
                                  int stars, char* photo, int timeout, int* result) {
  if (tellerName == nullptr || tellerNo == nullptr || result == nullptr || stars < 0 ||
      stars > 6 || timeout < 1 || timeout > 999)
    return TLX_ERR_ARG;
  char photoName[kPhotoNameSize] = {0};
  if (photo != nullptr)
    std::strncpy(photoName, photo, kPhotoNameSize - 1);
  else
    std::snprintf(photoName, sizeof photoName, "%s.jpg", tellerNo);  // cut to 127 characters
  char header[kWorkSize] = {0};
  if (!Format(header, sizeof header, "\x1b[4H\x02%s|%s|%d|%s\x03", tellerName, tellerNo, stars,
              photoName))
    return TLX_ERR_ARG;
  CommandGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  FlushPort(port, bp, baud);
  SendOnly(port, bp, baud, header);
  char cmd[64] = {0};
  Format(cmd, sizeof cmd, "\x1b[4;%dT", timeout);
  int rc = SendOnly(port, bp, baud, cmd);
  if (rc != TLX_OK) return rc;
  char answer[4];
  rc = StatusExchange(port, bp, baud, const_cast<char*>("\x1b[4R"), 0, timeout * 1000 + 2000,
                      answer);
  if (rc == TLX_OK) {
    int mapped = EvaluatorResult(answer);
    if (mapped >= 0) *result = mapped;
  }
  SendOnly(port, bp, baud, "\x1b[4C");
  return rc;
}

TLX_EXPORT int TLX_StartKeyboard(int port, char bp, int baud, int timeout, int mode,
                                 char* input) {
  if (mode < 0 || mode > 1 || input == nullptr || timeout < 1 || timeout > 999)
    return TLX_ERR_ARG;
  CommandGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  FlushPort(port, bp, baud);
  char cmd[64] = {0};
  Format(cmd, sizeof cmd, "\x1b[5;%dT", timeout);
  int rc = SendOnly(port, bp, baud, cmd);
  if (rc != TLX_OK) return rc;

  char reply[kWorkSize];
  std::memset(reply, 0, sizeof reply);
  int len = kWorkSize - 1;
  const char* entry = mode == 0 ? "\x1bGM\r\n" : "\x1b" "FA\r\n";
  rc = TransProc(port, bp, baud, const_cast<char*>(entry), reply, &len, EndOfCondition3,
                 timeout * 1000);
  if (rc == TLX_OK) {
    size_t n = std::strlen(reply);
    if (n < 2) {
      rc = TLX_ERR_REPLY;
    } else if (n - 2 >= TLX_KEYPAD_INPUT_SIZE) {
      rc = TLX_ERR_BUFFER;
    } else {
      std::memcpy(input, reply + 1, n - 2);
      input[n - 2] = '\0';
    }
  }
  SendOnly(port, bp, baud, "\x1b[5C");
  return rc;
}

TLX_EXPORT int TLX_StartSign(int port, char bp, int baud, int timeout, char* document,
                             char* imagePath, char* dataPath) {
  if (timeout < 1 || timeout > 999 || !NonEmpty(document) || !NonEmpty(imagePath) ||
      !NonEmpty(dataPath) || KindOf(document) == nullptr)
    return TLX_ERR_ARG;
  CommandGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  FlushPort(port, bp, baud);
  return StartHandSign(port, bp, baud, timeout, document, imagePath, dataPath);
}

}  // extern "C"
