// Small helpers shared by the command sources: the fixed replies of the
// terminal, write-only exchanges, and the guard that keeps two commands of
// the interface from running at the same time.
#ifndef TLX_COMMANDS_REPLIES_H
#define TLX_COMMANDS_REPLIES_H

#include <atomic>

namespace tlx {

// Size of the command and reply work buffers.
enum { kWorkSize = 4096 };
// Limit of every write-only exchange, in milliseconds.
enum { kWriteOnlyMs = 2000 };

// "\x02\xaa\x03", compared as a NUL-terminated string.
bool IsAck(const char* reply);
// "\x02U\x03", compared as a NUL-terminated string.
bool IsRefusal(const char* reply);
// A frame STX ... ETX whose second byte is 'U'.
bool IsRefusedFrame(const char* reply, int len);

// Sends a NUL-terminated command without reading a reply.
int SendOnly(int port, char bp, int baud, const char* cmd);
// Sends len bytes without reading a reply.
int SendBytes(int port, char bp, int baud, const char* cmd, int len);

// Formats into buf; false when the text does not fit (nothing is sent then).
bool Format(char* buf, int cap, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

// Held by every TLX_ command for its whole duration. A second command that
// starts while one runs is refused with -3 before it touches the port.
class CommandGuard {
 public:
  CommandGuard();
  ~CommandGuard();
  CommandGuard(const CommandGuard&) = delete;
  CommandGuard& operator=(const CommandGuard&) = delete;
  bool Busy() const { return !owner_; }

 private:
  bool owner_;
};

}  // namespace tlx

#endif
