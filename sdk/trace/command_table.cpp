// The command table. ESC [ commands are known by their module and keyword;
// module settings (";nnL") by the letter that ends them; line commands by
// the letter after ESC. Secrets of the commands:
//   ESC M idx key2 key1 CR LF   index kept, keys hidden
//   ESC S mk wk key CR LF       both indexes kept, key hidden
//   ESC I p o account CR LF     prompt and option kept, account hidden
// Replies that carry secrets (see wire_mask.h for what of them is kept):
//   ESC F p o, ESC I ...        a PIN block
//   ESC F A, ESC G M            a keypad entry (phone number, amount)
//   0x81, 0x82                  the plain PIN
//   ESC [0PULLFILE ...          the packets of a file (also after the
//   ESC [0RESPONSE ...          host's answer to each packet)
#include "trace/command_table.h"

#include <cstring>

#include "trace/wire_bytes.h"

namespace tlx {

namespace {

struct ModuleCommand {
  char module;          // 0: any module
  const char* keyword;  // exact keyword, or the prefix of one (prefix set)
  bool prefix;
  CommandId id;
  ReplyKind reply;
  const char* name;
};

// The pull and the host's answer to each of its packets are matched by
// prefix: whatever follows them is the file.
const ModuleCommand kModuleCommands[] = {
    {0, ";SETDISP", false, CommandId::DisplaySwitch, ReplyKind::Generic, "display switch"},
    {'0', "CHECKR40", false, CommandId::OnlineCheck, ReplyKind::Ack, "online check"},
    {'0', "CHECKk60", false, CommandId::OnlineCheck, ReplyKind::Ack, "online check"},
    {'0', "GETDEVICEINFO", false, CommandId::VersionQuery, ReplyKind::Json, "version query"},
    {'0', "GETUPDATESTATUS", false, CommandId::UpdateStatusQuery, ReplyKind::Json,
     "update status query"},
    {'0', "SETVOLUME", false, CommandId::Volume, ReplyKind::Ack, "volume"},
    {'0', "RESTART", false, CommandId::Restart, ReplyKind::Ack, "restart"},
    {'0', "SETGLOBALCONFIG", false, CommandId::GlobalConfig, ReplyKind::Generic,
     "global configuration"},
    {'0', ";NERIVAX_PRODUCTION_START_PQCR", false, CommandId::ProductionStart, ReplyKind::Generic,
     "production check start"},
    {'0', "DOWNLOAD", false, CommandId::SerialBlock, ReplyKind::Ack, "serial file block"},
    {'0', "HIDCHANGE", false, CommandId::PacketMode, ReplyKind::Packet,
     "switch to packet transfer"},
    {'0', "PULLFILE", true, CommandId::PullFile, ReplyKind::PulledFile, "pull file"},
    {'0', "RESPONSE", true, CommandId::PullAnswer, ReplyKind::PulledFile, "answer of the host"},
    {'0', "UPDATE", false, CommandId::StartUpgrade, ReplyKind::Generic, "start upgrade"},
    {'0', "DELETE", false, CommandId::DeleteFile, ReplyKind::Generic, "delete file"},
    {'0', "QUERYFILE", false, CommandId::QueryFile, ReplyKind::FileInfo, "file query"},
    {'0', "GETFILELIST", false, CommandId::FileList, ReplyKind::FileList, "file list"},
    {'2', "C", false, CommandId::ClearScreen, ReplyKind::Generic, "clear the information screen"},
    {'2', "A", false, CommandId::ShowInfo, ReplyKind::Info, "show information"},
    {'2', "HANDSIGN", false, CommandId::StartSigning, ReplyKind::Signature, "start signing"},
    {'4', "H", false, CommandId::EvaluatorHeader, ReplyKind::Generic, "evaluator header"},
    {'4', "R", false, CommandId::StartEvaluation, ReplyKind::Evaluator, "start the evaluation"},
    {'4', "C", false, CommandId::CloseEvaluator, ReplyKind::Generic, "close the evaluator"},
    {'5', "C", false, CommandId::CloseKeypad, ReplyKind::Generic, "close the keypad"},
};

// Module settings: ESC [ module ; digits letter.
struct ModuleSetting {
  char module;
  char letter;
  CommandId id;
  const char* name;
};

const ModuleSetting kModuleSettings[] = {
    {'1', 'L', CommandId::PinLength, "PIN length"},
    {'1', 'X', CommandId::PlainPinMode, "plain PIN entry mode"},
    {'1', 'T', CommandId::PinTimeout, "PIN entry timeout"},
    {'2', 'T', CommandId::ScreenTimeout, "information screen timeout"},
    {'4', 'T', CommandId::EvaluatorTimeout, "evaluator timeout"},
    {'5', 'T', CommandId::KeypadTimeout, "keypad timeout"},
};

// Line commands: ESC letter payload CR LF. `first` restricts the payload's
// first character (0: any); `minPayload` is the shortest payload the
// command has; the secret starts `secretAt` bytes into the command.
struct LineCommand {
  char letter;
  char first;
  int minPayload;
  int secretAt;  // 0: no secret
  CommandId id;
  ReplyKind reply;
  const char* name;
};

const LineCommand kLineCommands[] = {
    {'M', 0, 0, 4, CommandId::LoadMasterKey, ReplyKind::KeyAck, "load master key"},
    {'S', 0, 0, 6, CommandId::LoadWorkKey, ReplyKind::KeyAck, "load work key"},
    {'A', 0, 0, 0, CommandId::ActivateWorkKey, ReplyKind::KeyAck, "activate work key"},
    {'R', 0, 0, 0, CommandId::ResetKeys, ReplyKind::KeyAck, "reset all keys"},
    {'G', 'M', 1, 0, CommandId::KeypadAmount, ReplyKind::Keypad, "keypad entry (amount)"},
    {'F', 'A', 1, 0, CommandId::KeypadPhone, ReplyKind::Keypad, "keypad entry (phone number)"},
    {'F', 0, 2, 0, CommandId::PinBlockEntry, ReplyKind::PinBlock, "PIN block entry"},
    // The account may be missing: the reply is a PIN block all the same.
    {'I', 0, 0, 4, CommandId::PinBlockWithAccount, ReplyKind::PinBlock,
     "PIN block entry with account"},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// ";" digits letter.
bool IsSetting(const char* head, int len, char letter) {
  if (len < 3 || head[0] != ';' || head[len - 1] != letter) return false;
  for (int i = 1; i < len - 1; ++i)
    if (!IsDigit(head[i])) return false;
  return true;
}

void ClassifyModule(const char* b, int len, CommandInfo* info) {
  info->module = b[2];
  info->headFrom = 3;
  const void* stx = std::memchr(b + 3, wire::kStx, static_cast<size_t>(len - 3));
  info->headTo = stx != nullptr ? static_cast<int>(static_cast<const char*>(stx) - b) : len;
  const char* head = b + info->headFrom;
  const int headLen = info->headTo - info->headFrom;
  for (const ModuleCommand& c : kModuleCommands) {
    if (c.module != 0 && c.module != info->module) continue;
    const int n = static_cast<int>(std::strlen(c.keyword));
    if (c.prefix ? headLen < n : headLen != n) continue;
    if (std::memcmp(head, c.keyword, static_cast<size_t>(n)) != 0) continue;
    info->id = c.id;
    info->reply = c.reply;
    info->name = c.name;
    return;
  }
  for (const ModuleSetting& s : kModuleSettings) {
    if (s.module != info->module || !IsSetting(head, headLen, s.letter)) continue;
    info->id = s.id;
    info->name = s.name;
    return;
  }
  info->id = CommandId::ModuleOther;
  info->name = "module command";
}

void ClassifyLine(const char* b, int len, CommandInfo* info) {
  info->letter = b[1];
  info->payloadFrom = 2;
  info->payloadTo = len >= 4 && b[len - 2] == '\r' && b[len - 1] == '\n' ? len - 2 : len;
  const int payloadLen = info->payloadTo - info->payloadFrom;
  for (const LineCommand& c : kLineCommands) {
    if (c.letter != info->letter || payloadLen < c.minPayload) continue;
    if (c.first != 0 && (payloadLen < 1 || b[2] != c.first)) continue;
    info->id = c.id;
    info->reply = c.reply;
    info->name = c.name;
    if (c.secretAt > 0) {
      info->secretFrom = c.secretAt < info->payloadTo ? c.secretAt : info->payloadTo;
      info->secretTo = info->payloadTo;
    }
    return;
  }
  info->id = CommandId::LineOther;
  info->name = "line command";
}

}  // namespace

CommandInfo ClassifyCommand(const char* b, int len) {
  CommandInfo info;
  if (b == nullptr || len <= 0) return info;
  const unsigned char c0 = static_cast<unsigned char>(b[0]);
  if (len == 1 && (c0 == wire::kPinStartFirstAsk || c0 == wire::kPinStartAskAgain)) {
    info.id = CommandId::PinEntryStart;
    info.reply = ReplyKind::PlainPin;
    info.name = "PIN entry start";
  } else if (len == 1 && c0 == wire::kPinEnd) {
    info.id = CommandId::PinEntryEnd;
    info.name = "PIN entry end";
  } else if (b[0] == wire::kStx && len >= wire::kPacketHeadSize) {
    info.id = CommandId::Packet;
    info.reply = ReplyKind::Packet;
    info.name = "packet";
  } else if (b[0] != wire::kEsc || len < 2) {
    info.id = CommandId::Unknown;
    info.name = "unknown bytes";
  } else if (b[1] == '%' && len >= 3) {
    info.id = CommandId::Channel;
    info.letter = b[2];
    info.name = "channel";
  } else if (b[1] == '[' && len >= 3) {
    ClassifyModule(b, len, &info);
  } else {
    ClassifyLine(b, len, &info);
  }
  return info;
}

}  // namespace tlx
