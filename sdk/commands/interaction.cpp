// Customer interaction commands: information to confirm, evaluation of the
// teller, keypad entry and handwritten signature.
#include <strings.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "commands/workers.h"
#include "tlxdev.h"
#include "transfer/transfer.h"
#include "util/convert.h"

using namespace tlx;

namespace {

enum { kMaxInfoText = TLX_MAX_INFO_TEXT };
enum { kInfoHexSize = 102400, kInfoCmdSize = 102500 };
// Work areas of the information command, in the library's storage rather
// than on the caller's stack (commands run one at a time).
char g_infoHex[kInfoHexSize + 1];
char g_infoShow[kInfoCmdSize];
enum { kPhotoNameSize = 128 };
// Reply area of the signing command: 259 bytes and a terminator.
enum { kSignReplyArea = 260 };

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

// Size of the area of a status answer: 'B', digit, 'F' and a terminator.
enum { kStatusArea = 4 };

// Sends cmd and reads the three-character status answer, allowing the
// customer timeout seconds and the margin.
int StatusExchange(const Link& link, const char* cmd, int timeout, char* answer) {
  return Exchange(link, cmd, 0, answer, kStatusArea, nullptr, EndAtF,
                  SecondsToMs(timeout) + kAnswerMarginMs);
}

// Closing step of an interaction that ended before its answer was asked
// for: after a cancel the module is closed all the same.
int EndEarly(Command& command, const Link& link, const char* close, int rc) {
  if (rc == TLX_ERR_CANCEL) SendClosing(link, close);
  return command.Finish(rc);
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

int PullSignatureFile(const char* terminalPath, const char* localPath) {
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[0PULLFILE\x02%s\x03", terminalPath);
  TransferGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  return Pull(kPullFirstDataMs, cmd, static_cast<int>(std::strlen(cmd)), localPath);
}

}  // namespace

namespace tlx {

int StartSignature(const Link& link, int timeout, int kind) {
  SendOnly(link, kCloseScreen);
  char cmd[kWorkSize] = {0};
  Format(cmd, sizeof cmd, "\x1b[2HANDSIGN\x02%d|%d\x03", kind, timeout);
  char reply[kSignReplyArea];
  int len = 0;
  int rc = Exchange(link, cmd, 0, reply, sizeof reply, &len, EndAtEtx, SecondsToMs(timeout));
  if (rc == TLX_OK) {
    rc = CheckFramedReply(reply, len);
    if (rc == TLX_OK) return TLX_OK;
  }
  SendClosing(link, kCloseScreen);
  return rc;
}

int SignDocument(const Link& link, int timeout, const char* document, const char* imagePath,
                 const char* dataPath) {
  if (timeout < 1 || timeout > 999 || !NonEmpty(document) || !NonEmpty(imagePath) ||
      !NonEmpty(dataPath))
    return TLX_ERR_ARG;
  const DocumentKind* kind = KindOf(document);
  if (kind == nullptr) return TLX_ERR_ARG;
  // The document, the signing and both pulls go over the USB HID link.
  const Link usb{0, link.bp, link.baud};
  if (access(document, F_OK) != 0) return TLX_ERR_NOFILE;
  int rc;
  {
    TransferGuard guard;
    if (guard.Busy()) return TLX_ERR_OPEN;
    rc = DownloadFile(usb, 255, document, kind->terminalName);
  }
  if (rc < 0) return rc;
  rc = StartSignature(usb, timeout, kind->kind);
  if (rc < 0) return rc;
  rc = PullSignatureFile("/tmp/hw.png", imagePath);
  if (rc < 0) return rc;
  return PullSignatureFile("/tmp/hw.xml", dataPath);
}

}  // namespace tlx

extern "C" {

TLX_EXPORT int TLX_StartInfo(int port, char bp, int baud, int timeout, char* info, int* result) {
  const Link link{port, bp, baud};
  Command command;
  if (!NonEmpty(info) || result == nullptr || timeout < 1 || timeout > 999) return TLX_ERR_ARG;
  size_t textLen = strnlen(info, kMaxInfoText + 1);
  if (textLen > kMaxInfoText) return TLX_ERR_ARG;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  SendOnly(link, kCloseScreen);
  char cmd[64] = {0};
  Format(cmd, sizeof cmd, "\x1b[2;%dT", timeout);
  int rc = SendOnly(link, cmd);
  if (rc != TLX_OK) return EndEarly(command, link, kCloseScreen, rc);

  char* hex = g_infoHex;
  char* show = g_infoShow;
  std::memset(hex, 0, kInfoHexSize + 1);
  std::memset(show, 0, kInfoCmdSize);
  HexAsc1Split(info, static_cast<int>(textLen), hex, kInfoHexSize);
  Format(show, kInfoCmdSize, "\x1b[2A\x02%s\x03", hex);
  char answer[kStatusArea];
  rc = StatusExchange(link, show, timeout, answer);
  SendClosing(link, kCloseScreen);
  rc = command.Finish(rc);
  if (rc == TLX_OK) *result = InfoResult(answer);
  return rc;
}

TLX_EXPORT int TLX_StartEvaluator(int port, char bp, int baud, char* tellerName, char* tellerNo,
                                  int stars, char* photo, int timeout, int* result) {
  const Link link{port, bp, baud};
  Command command;
  if (tellerName == nullptr || tellerNo == nullptr || result == nullptr || stars < 0 || stars > 6 ||
      timeout < 1 || timeout > 999)
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
  if (!command.Start(link)) return TLX_ERR_OPEN;
  SendOnly(link, header);
  char cmd[64] = {0};
  Format(cmd, sizeof cmd, "\x1b[4;%dT", timeout);
  int rc = SendOnly(link, cmd);
  if (rc != TLX_OK) return EndEarly(command, link, kCloseEvaluator, rc);
  char answer[kStatusArea];
  rc = StatusExchange(link, "\x1b[4R", timeout, answer);
  SendClosing(link, kCloseEvaluator);
  rc = command.Finish(rc);
  if (rc == TLX_OK) {
    int mapped = EvaluatorResult(answer);
    if (mapped >= 0) *result = mapped;
  }
  return rc;
}

TLX_EXPORT int TLX_StartKeyboard(int port, char bp, int baud, int timeout, int mode, char* input) {
  const Link link{port, bp, baud};
  Command command;
  if (mode < 0 || mode > 1 || input == nullptr || timeout < 1 || timeout > 999) return TLX_ERR_ARG;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  char cmd[64] = {0};
  Format(cmd, sizeof cmd, "\x1b[5;%dT", timeout);
  int rc = SendOnly(link, cmd);
  if (rc != TLX_OK) return EndEarly(command, link, kCloseKeypad, rc);

  char reply[kWorkSize];
  // \033 is ESC: a hex escape would take the F of "FA" as a digit.
  const char* entry = mode == 0 ? "\x1bGM\r\n" : "\033FA\r\n";
  rc = Exchange(link, entry, 0, reply, sizeof reply, nullptr, EndAtF, SecondsToMs(timeout));
  size_t n = 0;
  if (rc == TLX_OK) {
    n = std::strlen(reply);
    if (n < 2) {
      rc = TLX_ERR_REPLY;
    } else if (n - 2 >= TLX_KEYPAD_INPUT_SIZE) {
      rc = TLX_ERR_BUFFER;
    }
  }
  SendClosing(link, kCloseKeypad);
  rc = command.Finish(rc);
  if (rc == TLX_OK) {
    std::memcpy(input, reply + 1, n - 2);
    input[n - 2] = '\0';
  }
  return rc;
}

TLX_EXPORT int TLX_StartSign(int port, char bp, int baud, int timeout, char* document,
                             char* imagePath, char* dataPath) {
  const Link link{port, bp, baud};
  // The flush uses the caller's link parameters; the arguments are checked
  // after it, by the signature flow, which then runs over HID (the link the
  // command holds).
  Command command;
  if (!command.Start(link, 0)) return TLX_ERR_OPEN;
  const int signed_ = SignDocument(link, timeout, document, imagePath, dataPath);
  const int rc = command.Finish(signed_);
  if (rc == TLX_ERR_CANCEL && signed_ >= 0) {
    // Pulled whole before the cancel came: a cancelled call leaves no files.
    std::remove(imagePath);
    std::remove(dataPath);
  }
  return rc;
}

}  // extern "C"
