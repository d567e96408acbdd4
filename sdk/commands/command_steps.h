// The steps every command of the interface is built from: the opening step
// (one command at a time, then the flush), the exchange with a reply, the
// write-only send, and the checks of the terminal's fixed replies.
#ifndef TLX_COMMANDS_COMMAND_STEPS_H
#define TLX_COMMANDS_COMMAND_STEPS_H

#include "commands/protocol.h"
#include "transport/CDevice.h"

namespace tlx {

// Opening step of every TLX_ command, held for the command's whole
// duration. It takes the guard that keeps two commands of the interface
// apart and, when this command got it, flushes the port with the caller's
// link parameters (the flush's result is not looked at). A command that
// finds another one running is Busy() and returns TLX_ERR_OPEN before it
// touches the port.
class Command {
 public:
  Command(int port, char bp, int baud);
  ~Command();
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;
  bool Busy() const { return !owner_; }

 private:
  bool owner_;
};

// One exchange with a reply: sends cmd (cmdLen bytes; 0 = up to its NUL),
// then reads until `until` holds or timeoutMs passes. The cap bytes of reply
// are zeroed first and at most cap - 1 are read, so the reply is always
// NUL-terminated; *len (may be null) receives the count on success. The
// transaction code is the result.
int Exchange(int port, char bp, int baud, const char* cmd, int cmdLen, char* reply, int cap,
             int* len, EndConditionFn until, int timeoutMs);

// Sends cmd (cmdLen bytes; 0 = up to its NUL) without reading a reply,
// within kWriteOnlyMs.
int SendOnly(int port, char bp, int baud, const char* cmd, int cmdLen = 0);

// kAck, compared as a NUL-terminated string.
bool IsAck(const char* reply);
// kRefusal, compared as a NUL-terminated string.
bool IsRefusal(const char* reply);
// kKeyAck, the single byte 0xAA.
bool IsKeyAck(const char* reply);

// Formats into buf; false when the text does not fit (nothing is sent then).
bool Format(char* buf, int cap, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

}  // namespace tlx

#endif
