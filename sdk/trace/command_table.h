// The terminal's commands as the wire trace and tlxctl read them: which
// command a string of bytes is, what its reply carries, and which of its
// bytes are secret (key material, account numbers). One table serves the
// masking of the trace and the decoding of a trace, so that a command that
// carries a secret is recognised the same way in both.
#ifndef TLX_COMMAND_TABLE_H
#define TLX_COMMAND_TABLE_H

namespace tlx {

enum class CommandId {
  None,     // no bytes
  Unknown,  // neither ESC-prefixed, a packet nor a PIN entry byte
  PinEntryStart,
  PinEntryEnd,
  Packet,   // a packet to the terminal (packet transfer)
  Channel,  // ESC % letter: channel of the port-sharing unit
  // ESC [ module keyword [STX fields ETX]
  DisplaySwitch,
  OnlineCheck,
  VersionQuery,
  UpdateStatusQuery,
  Volume,
  Restart,
  GlobalConfig,
  ProductionStart,
  SerialBlock,
  PacketMode,
  PullFile,
  PullAnswer,
  StartUpgrade,
  DeleteFile,
  QueryFile,
  FileList,
  PinLength,
  PlainPinMode,
  PinTimeout,
  ClearScreen,
  ScreenTimeout,
  ShowInfo,
  StartSigning,
  EvaluatorHeader,
  EvaluatorTimeout,
  StartEvaluation,
  CloseEvaluator,
  KeypadTimeout,
  CloseKeypad,
  ModuleOther,
  // ESC letter payload CR LF
  LoadMasterKey,
  LoadWorkKey,
  ActivateWorkKey,
  ResetKeys,
  KeypadAmount,
  KeypadPhone,
  PinBlockEntry,
  PinBlockWithAccount,
  LineOther,
};

// What the reply to a command is.
enum class ReplyKind {
  Generic,
  Ack,        // the acknowledgement frame
  KeyAck,     // the key acknowledgement byte
  Info,       // customer's answer to an information text
  Evaluator,  // customer's answer to the evaluator
  Keypad,     // a keypad entry: secret
  PlainPin,   // the PIN itself: secret
  PinBlock,   // a PIN block: secret
  Json,
  FileInfo,
  FileList,
  Signature,
  Packet,      // the answer to a packet of the packet transfer
  PulledFile,  // the packets of a pulled file: their payload is secret
};

struct CommandInfo {
  CommandId id = CommandId::None;
  ReplyKind reply = ReplyKind::Generic;
  const char* name = "nothing";
  char module = 0;  // ESC [ commands: the module character
  char letter = 0;  // line commands and ESC %: the character after ESC
  // ESC [ commands: the keyword, after the module and before STX (or the end).
  int headFrom = 0, headTo = 0;
  // Line commands: the payload, after the letter and before CR LF (or the end).
  int payloadFrom = 0, payloadTo = 0;
  // Bytes of the command that are never shown: [secretFrom, secretTo).
  int secretFrom = 0, secretTo = 0;
};

// Which command `len` bytes are.
CommandInfo ClassifyCommand(const char* bytes, int len);

}  // namespace tlx

#endif
