// The steps every command of the interface is built from: the opening step
// (one command at a time, then the flush), the exchange with a reply, the
// write-only send, and the checks of the terminal's fixed replies.
#ifndef TLX_COMMANDS_COMMAND_STEPS_H
#define TLX_COMMANDS_COMMAND_STEPS_H

#include "commands/protocol.h"
#include "transport/CDevice.h"

namespace tlx {

// Held by every TLX_ command from its first line to its return. It takes
// the guard that keeps two commands of the interface apart and makes the
// command the one TLX_CancelRead reaches, from its argument checks on; a
// command that finds another one running is Busy(), and Start() then
// refuses it (TLX_ERR_OPEN) after its own argument checks.
//
// A cancel is kept for the whole command: from then on Exchange and
// SendOnly give TLX_ERR_CANCEL without sending, a read or flush under way
// ends at once, and only the closing steps (SendClosing) still go out.
// Finish(rc) ends the part of the command a cancel can reach: it gives
// TLX_ERR_CANCEL when one came, and from then on TLX_CancelRead answers
// TLX_ERR_REPLY. Commands write their outputs only after Finish, so a
// cancelled command leaves them untouched.
class Command {
 public:
  Command();
  ~Command();
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;
  bool Busy() const { return id_ == 0; }
  // Opening step after the argument checks: false when another command runs
  // or another process holds the link (nothing is touched); otherwise holds
  // the link of heldPort (-1: port) for the whole command, flushes the port
  // with the caller's link parameters (the flush's result is not looked
  // at) and gives true.
  bool Start(int port, char bp, int baud, int heldPort = -1);
  // rc, or TLX_ERR_CANCEL when a cancel reached this command.
  int Finish(int rc);

 private:
  unsigned long long id_;  // 0 when another command holds the guard
};

// The work of TLX_CancelRead: TLX_OK when a command is running and has not
// finished (it then returns TLX_ERR_CANCEL), else TLX_ERR_REPLY. A cancel
// never reaches a command that starts after it.
int CancelCommand();
// True when the running command has been cancelled.
bool Cancelled();

// One exchange with a reply: sends cmd (cmdLen bytes; 0 = up to its NUL),
// then reads until `until` holds or timeoutMs passes. The cap bytes of reply
// are zeroed first and at most cap - 1 are read, so the reply is always
// NUL-terminated; *len (may be null) receives the count on success. The
// transaction code is the result; a cancelled command sends nothing and
// gets TLX_ERR_CANCEL.
int Exchange(int port, char bp, int baud, const char* cmd, int cmdLen, char* reply, int cap,
             int* len, EndConditionFn until, int timeoutMs);

// Sends cmd (cmdLen bytes; 0 = up to its NUL) without reading a reply,
// within kWriteOnlyMs. A cancelled command sends nothing: TLX_ERR_CANCEL.
int SendOnly(int port, char bp, int baud, const char* cmd, int cmdLen = 0);
// SendOnly for a command's closing step (0x83 after a PIN entry, a module
// close): sent also after a cancel, so the terminal never stays waiting.
int SendClosing(int port, char bp, int baud, const char* cmd, int cmdLen = 0);

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
