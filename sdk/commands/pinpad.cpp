// PIN pad commands: PIN length, master and work keys, plain and encrypted
// PIN entry. Key texts, PINs and PIN blocks pass through the library's own
// buffers only for the length of a call and are wiped before returning.
#include <cstring>

#include "core/tlx_internal.h"
#include "tlxdev.h"
#include "util/convert.h"

using namespace tlx;

namespace {

// Longest key text accepted (hex characters per key).
enum { kMaxKeyText = TLX_MAX_KEY_TEXT };
// Plain PIN entry reply area, in the library's storage rather than on the
// caller's stack (commands run one at a time); wiped after every entry.
enum { kPinReplySize = 131072 };
char g_pinReply[kPinReplySize];
// Bytes of one PIN block decoded from the reply.
enum { kBlockArea = 1024 };
// Reply area of the key reset.
enum { kResetReplyArea = 1024 };

// Wipes a buffer when it goes out of scope, whatever path the call takes.
class Wiper {
 public:
  Wiper(void* p, unsigned long n) : p_(p), n_(n) {}
  ~Wiper() { tlx::SecureWipe(p_, n_); }
  Wiper(const Wiper&) = delete;
  Wiper& operator=(const Wiper&) = delete;

 private:
  void* p_;
  unsigned long n_;
};

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Key text -> bytes appended at payload[*len]. False when the text is
// empty, too long, of odd length or holds a character that is not a hex
// digit: the terminal would load whatever bytes such a text happened to
// convert to.
bool AppendKey(const char* text, char* payload, int cap, int* len) {
  size_t n = strnlen(text, kMaxKeyText + 1);
  if (n == 0 || n > kMaxKeyText || n % 2 != 0) return false;
  for (size_t i = 0; i < n; ++i)
    if (!IsHexDigit(text[i])) return false;
  char bytes[kMaxKeyText];
  Wiper wipe(bytes, sizeof bytes);
  std::memset(bytes, 0, sizeof bytes);
  int count = HexStrToAscii(text, static_cast<int>(n), bytes, sizeof bytes);
  if (count < 0 || *len + count > cap) return false;
  std::memcpy(payload + *len, bytes, static_cast<size_t>(count));
  *len += count;
  return true;
}

// ESC, letter, HexAsc1 form of the payload, CR LF; the reply must be the
// single byte 0xAA. The command text is wiped after the exchange.
int KeyCommand(const Link& link, char letter, const char* payload, int payloadLen) {
  char cmd[kWorkSize];
  Wiper wipeCmd(cmd, sizeof cmd);
  std::memset(cmd, 0, sizeof cmd);
  cmd[0] = kEsc;
  cmd[1] = letter;
  // Room for ESC, letter, CR, LF and the terminator.
  if (payloadLen * 2 > kWorkSize - 5) return TLX_ERR_ARG;
  int chars = HexAsc1Split(payload, payloadLen, cmd + 2, kWorkSize - 5);
  if (chars != payloadLen * 2) return TLX_ERR_ARG;
  cmd[2 + chars] = '\r';
  cmd[3 + chars] = '\n';

  char reply[kWorkSize];
  int rc = Exchange(link, cmd, 4 + chars, reply, sizeof reply, nullptr, EndAtAny, kReplyMs);
  if (rc != TLX_OK) return rc;
  return IsKeyAck(reply) ? TLX_OK : TLX_ERR_REPLY;
}

// Sends the entry mode (plain entry only) and the entry timeout.
int PrepareEntry(const Link& link, int mode, int timeout) {
  char cmd[64] = {0};
  if (mode >= 0) {
    Format(cmd, sizeof cmd, "\x1b[1;%dX", mode);
    int rc = SendOnly(link, cmd);
    if (rc != TLX_OK) return rc;
  }
  Format(cmd, sizeof cmd, "\x1b[1;%dT", timeout);
  return SendOnly(link, cmd);
}

// A PIN entry that did not get as far as its start: a cancel still ends it
// with 0x83, so that the pad is left idle whatever the moment of the cancel.
int EndEntry(Command& command, const Link& link, int rc) {
  if (rc == TLX_ERR_CANCEL) SendClosing(link, &kPinEnd, 1);
  return command.Finish(rc);
}

// The block commands: entry timeout, the line command, the framed block
// reply written as upper-case hex text with a terminator, then 0x83.
int ReadBlock(Command& command, const Link& link, int timeout, const char* cmd, char* pinBlock) {
  int rc = PrepareEntry(link, -1, timeout);
  if (rc != TLX_OK) return EndEntry(command, link, rc);

  char reply[kWorkSize];
  char block[kBlockArea];
  Wiper wipeReply(reply, sizeof reply);
  Wiper wipeBlock(block, sizeof block);
  std::memset(block, 0, sizeof block);
  int len = 0;
  int n = 0;
  rc = Exchange(link, cmd, 0, reply, sizeof reply, &len, EndAtEtx,
                SecondsToMs(timeout) + kAnswerMarginMs);
  if (rc == TLX_OK) {
    rc = CheckTaggedReply(kStx, kEtx, reply, len, block, &n);
    if (rc == TLX_OK && n * 2 >= TLX_PIN_BLOCK_SIZE) rc = TLX_ERR_BUFFER;
  }
  SendClosing(link, &kPinEnd, 1);
  rc = command.Finish(rc);
  if (rc == TLX_OK) {
    int chars = AsciiToHexStr(block, n, pinBlock, TLX_PIN_BLOCK_SIZE - 1);
    pinBlock[chars] = '\0';
  }
  return rc;
}

}  // namespace

extern "C" {

TLX_EXPORT int TLX_SetPinLen(int port, char bp, int baud, int length) {
  const Link link{port, bp, baud};
  Command command;
  if (length < 4 || length > 14) return TLX_ERR_ARG;
  char cmd[64] = {0};
  Format(cmd, sizeof cmd, "\x1b[1;%dL", length);
  if (!command.Start(link)) return TLX_ERR_OPEN;
  return command.Finish(SendOnly(link, cmd));
}

TLX_EXPORT int TLX_UpdateMKey(int port, char bp, int baud, int mkIndex, char* key1, char* key2) {
  const Link link{port, bp, baud};
  Command command;
  if (mkIndex < 0 || mkIndex > 15 || key1 == nullptr || key2 == nullptr) return TLX_ERR_ARG;
  char payload[1 + 2 * kMaxKeyText];
  Wiper wipe(payload, sizeof payload);
  std::memset(payload, 0, sizeof payload);
  payload[0] = static_cast<char>(mkIndex);
  int len = 1;
  if (!AppendKey(key2, payload, sizeof payload, &len) ||
      !AppendKey(key1, payload, sizeof payload, &len))
    return TLX_ERR_ARG;
  if (len * 2 > kWorkSize - 5) return TLX_ERR_ARG;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  return command.Finish(KeyCommand(link, 'M', payload, len));
}

TLX_EXPORT int TLX_ResetKey(int port, char bp, int baud) {
  const Link link{port, bp, baud};
  Command command;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  char reply[kResetReplyArea];
  int rc = Exchange(link, "\x1bR\r\n", 4, reply, sizeof reply, nullptr, EndAtAny, kReplyMs);
  if (rc == TLX_OK && !IsKeyAck(reply)) rc = TLX_ERR_REPLY;
  return command.Finish(rc);
}

TLX_EXPORT int TLX_DownLoadWKey(int port, char bp, int baud, int mkIndex, int wkIndex, char* wkey) {
  const Link link{port, bp, baud};
  Command command;
  if (mkIndex < 0 || mkIndex > 15 || wkIndex < 0 || wkIndex > 15 || wkey == nullptr)
    return TLX_ERR_ARG;
  char payload[2 + kMaxKeyText];
  Wiper wipe(payload, sizeof payload);
  std::memset(payload, 0, sizeof payload);
  payload[0] = static_cast<char>(mkIndex);
  payload[1] = static_cast<char>(wkIndex);
  int len = 2;
  if (!AppendKey(wkey, payload, sizeof payload, &len)) return TLX_ERR_ARG;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  return command.Finish(KeyCommand(link, 'S', payload, len));
}

TLX_EXPORT int TLX_ActiveWKey(int port, char bp, int baud, int mkIndex, int wkIndex) {
  const Link link{port, bp, baud};
  Command command;
  if (mkIndex < 0 || mkIndex > 15 || wkIndex < 0 || wkIndex > 15) return TLX_ERR_ARG;
  char payload[2] = {static_cast<char>(mkIndex), static_cast<char>(wkIndex)};
  if (!command.Start(link)) return TLX_ERR_OPEN;
  return command.Finish(KeyCommand(link, 'A', payload, 2));
}

TLX_EXPORT int TLX_ReadPin(int port, char bp, int baud, int mode, int prompt, int timeout,
                           char* pin, int pinSize) {
  const Link link{port, bp, baud};
  Command command;
  if (mode < 0 || mode > 1 || prompt < 0 || prompt > 1 || timeout < 1 || timeout > 999 ||
      pinSize < 0 || pinSize > 2048 || pin == nullptr)
    return TLX_ERR_ARG;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  int rc = PrepareEntry(link, mode, timeout);
  if (rc != TLX_OK) return EndEntry(command, link, rc);

  char* reply = g_pinReply;
  Wiper wipe(reply, kPinReplySize);
  int len = 0;
  const char start = prompt == 0 ? kPinStartFirstAsk : kPinStartAskAgain;
  rc = Exchange(link, &start, 1, reply, kPinReplySize, &len, EndAtCr,
                SecondsToMs(timeout) + kAnswerMarginMs);
  const int n = rc == TLX_OK && len > 0 ? len - 1 : 0;  // without the final CR
  if (rc == TLX_OK) {
    int needed = n;
    if (mode == 1) {
      needed = 0;
      for (int i = 0; i < n; ++i)
        if (reply[i] != 0) ++needed;
    }
    if (needed > pinSize) rc = TLX_ERR_BUFFER;
  }
  SendClosing(link, &kPinEnd, 1);
  rc = command.Finish(rc);
  if (rc != TLX_OK) return rc;
  if (mode == 0) {
    // Up to the first zero byte, the rest of the length zero-filled.
    size_t text = strnlen(reply, static_cast<size_t>(n));
    std::memcpy(pin, reply, text);
    std::memset(pin + text, 0, static_cast<size_t>(n) - text);
    if (n < pinSize) pin[n] = '\0';
  } else {
    // Mode 1: the non-zero characters packed.
    int o = 0;
    for (int i = 0; i < n; ++i)
      if (reply[i] != 0) pin[o++] = reply[i];
    if (o < pinSize) pin[o] = '\0';
  }
  return rc;
}

TLX_EXPORT int TLX_ReadPinDES(int port, char bp, int baud, int prompt, int option, int timeout,
                              char* pinBlock) {
  const Link link{port, bp, baud};
  Command command;
  if (prompt < 0 || prompt > 1 || option < 0 || option > 3 || timeout < 1 || timeout > 999 ||
      pinBlock == nullptr)
    return TLX_ERR_ARG;
  char cmd[64] = {0};
  // \033 is ESC: a hex escape would take the F as a digit.
  Format(cmd, sizeof cmd, "\033F%d%d\r\n", prompt, option);
  if (!command.Start(link)) return TLX_ERR_OPEN;
  return ReadBlock(command, link, timeout, cmd, pinBlock);
}

TLX_EXPORT int TLX_ReadPinAnsi(int port, char bp, int baud, int prompt, int option, int timeout,
                               char* account, char* pinBlock) {
  const Link link{port, bp, baud};
  Command command;
  if (prompt < 0 || prompt > 1 || option < 0 || option > 3 || timeout < 1 || timeout > 999 ||
      pinBlock == nullptr)
    return TLX_ERR_ARG;
  const char* acc = (account == nullptr || account[0] == '\0') ? "000000" : account;
  char cmd[kWorkSize];
  Wiper wipe(cmd, sizeof cmd);
  std::memset(cmd, 0, sizeof cmd);
  if (!Format(cmd, sizeof cmd, "\x1bI%d%d%s\r\n", prompt, option, acc)) return TLX_ERR_ARG;
  if (!command.Start(link)) return TLX_ERR_OPEN;
  return ReadBlock(command, link, timeout, cmd, pinBlock);
}

}  // extern "C"
