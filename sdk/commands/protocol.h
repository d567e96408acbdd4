// Bytes and time limits of the terminal's command protocol that several
// commands share. Command texts that only one command sends stay with it.
#ifndef TLX_COMMANDS_PROTOCOL_H
#define TLX_COMMANDS_PROTOCOL_H

namespace tlx {

// Size of the command and reply work buffers.
enum { kWorkSize = 4096 };

// Time limits of the exchanges, in milliseconds.
enum {
  kReplyMs = 2000,        // a command answered by a framed reply or a key ack
  kWriteOnlyMs = 2000,    // a command whose reply is not read
  kProbeMs = 1000,        // each probe of the online check
  kAnswerMarginMs = 2000, // added to the customer's timeout for status answers
  kPullFirstDataMs = 3000 // first data of a signature file pull
};

// Caller timeouts are seconds; the exchanges take milliseconds.
inline int SecondsToMs(int seconds) { return seconds * 1000; }

// Replies.
constexpr char kAck[] = "\x02\xaa\x03";    // acknowledgement
constexpr char kRefusal[] = "\x02U\x03";   // negative reply
constexpr char kKeyAck[] = "\xaa";         // key command acknowledgement
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kRefusedMark = 'U';         // second byte of a refused frame

// Module close (or clear) commands, write only.
constexpr char kCloseScreen[] = "\x1b[2C";     // information and signature screen
constexpr char kCloseEvaluator[] = "\x1b[4C";
constexpr char kCloseKeypad[] = "\x1b[5C";

// Single control bytes of the PIN entry.
constexpr char kPinStartFirstAsk = static_cast<char>(0x82);  // prompt 0: asks for the PIN
constexpr char kPinStartAskAgain = static_cast<char>(0x81);  // prompt 1: asks once more
constexpr char kPinEnd = static_cast<char>(0x83);

}  // namespace tlx

#endif
