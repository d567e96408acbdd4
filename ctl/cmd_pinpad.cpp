// PIN pad subcommands: PIN length, keys, plain PIN and PIN blocks. Keys
// come from a file or standard input only; a PIN or PIN block is printed
// only with --show, and its buffer is wiped once printed.
#include <cstring>
#include <string>

#include "cli.h"
#include "report.h"
#include "text_input.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

const int kDefaultEntryTimeout = 30;

int Timeout(const Context& ctx) {
  return ctx.args.Has("--timeout") ? ParseRange(ctx.args.Value("--timeout"), "--timeout", 1, 999)
                                   : kDefaultEntryTimeout;
}

std::string KeySource(const Context& ctx, size_t position) {
  const auto& p = ctx.args.Positionals();
  return p.size() > position ? p[position] : std::string("-");
}

// The result of a key command: the library's, or tlxctl's own when the
// key input could not be read.
int KeyFailure(Context& ctx, const InputError& e) {
  Report r(ctx);
  return r.Fail(e.what(), e.status);
}

int PinLength(Context& ctx) {
  const int length = ParseRange(ctx.args.Positionals()[0], "LENGTH", 4, 14);
  Report r(ctx);
  const int rc = TLX_SetPinLen(ctx.link.port, ctx.link.bp, ctx.link.baud, length);
  if (rc == TLX_OK) {
    r.Field("length", length);
    r.Line("PIN length set to " + std::to_string(length));
  } else if (rc == TLX_ERR_ARG) {
    r.Hint("the PIN length takes 4..14");
  }
  return r.Finish(rc);
}

int KeyReset(Context& ctx) {
  Report r(ctx);
  const int rc = TLX_ResetKey(ctx.link.port, ctx.link.bp, ctx.link.baud);
  if (rc == TLX_OK) r.Line("all keys reset");
  return r.Finish(rc);
}

int MasterKey(Context& ctx) {
  const int index = ParseRange(ctx.args.Positionals()[0], "INDEX", 0, 15);
  KeyTexts keys;
  static const char* const kPrompts[] = {"key1", "key2"};
  try {
    ReadKeys(KeySource(ctx, 1), 2, kPrompts, &keys);
    CheckKeyLength("the master key (key2 and key1 together)",
                   std::strlen(keys.text[0]) + std::strlen(keys.text[1]));
  } catch (const InputError& e) {
    return KeyFailure(ctx, e);
  }
  Report r(ctx);
  const int rc =
      TLX_UpdateMKey(ctx.link.port, ctx.link.bp, ctx.link.baud, index, keys.text[0], keys.text[1]);
  if (rc == TLX_OK) {
    r.Field("index", index);
    r.Field("key_bytes",
            static_cast<long>((std::strlen(keys.text[0]) + std::strlen(keys.text[1])) / 2));
    r.Line("master key " + std::to_string(index) + " loaded");
  }
  return r.Finish(rc);
}

int WorkKey(Context& ctx) {
  const auto& p = ctx.args.Positionals();
  const int master = ParseRange(p[0], "MASTER", 0, 15);
  const int index = ParseRange(p[1], "INDEX", 0, 15);
  KeyTexts keys;
  static const char* const kPrompts[] = {"work key"};
  try {
    ReadKeys(KeySource(ctx, 2), 1, kPrompts, &keys);
    CheckKeyLength("the work key", std::strlen(keys.text[0]));
  } catch (const InputError& e) {
    return KeyFailure(ctx, e);
  }
  Report r(ctx);
  const int rc =
      TLX_DownLoadWKey(ctx.link.port, ctx.link.bp, ctx.link.baud, master, index, keys.text[0]);
  if (rc == TLX_OK) {
    r.Field("master", master);
    r.Field("index", index);
    r.Line("work key " + std::to_string(index) + " loaded under master key " +
           std::to_string(master));
  }
  return r.Finish(rc);
}

int Activate(Context& ctx) {
  const auto& p = ctx.args.Positionals();
  const int master = ParseRange(p[0], "MASTER", 0, 15);
  const int index = ParseRange(p[1], "INDEX", 0, 15);
  Report r(ctx);
  const int rc = TLX_ActiveWKey(ctx.link.port, ctx.link.bp, ctx.link.baud, master, index);
  if (rc == TLX_OK) {
    r.Field("master", master);
    r.Field("index", index);
    r.Line("work key " + std::to_string(index) + " of master key " + std::to_string(master) +
           " active");
  }
  return r.Finish(rc);
}

// Reports an entered secret: its length always, the text only with --show.
void ReportSecret(Report& r, const Context& ctx, const char* key, const char* what,
                  const char* text) {
  const long n = static_cast<long>(std::strlen(text));
  r.Field((std::string(key) + "_length").c_str(), n);
  if (ctx.args.Has("--show")) {
    r.Field(key, text);
    r.Line(text);
  } else {
    r.Line(std::string(what) + ": " + std::to_string(n) +
           " characters (not shown; --show prints it)");
  }
}

int ReadPin(Context& ctx) {
  const int mode =
      ctx.args.Has("--mode") ? ParseRange(ctx.args.Value("--mode"), "--mode", 0, 1) : 0;
  const int prompt =
      ctx.args.Has("--prompt") ? ParseRange(ctx.args.Value("--prompt"), "--prompt", 0, 1) : 0;
  const int timeout = Timeout(ctx);
  enum { kPinSize = 2048 };
  static char pin[kPinSize + 1];
  std::memset(pin, 0, sizeof pin);
  Report r(ctx);
  const int rc =
      TLX_ReadPin(ctx.link.port, ctx.link.bp, ctx.link.baud, mode, prompt, timeout, pin, kPinSize);
  if (rc == TLX_OK) ReportSecret(r, ctx, "pin", "PIN entered", pin);
  Wipe(pin, sizeof pin);
  return r.Finish(rc);
}

int PinBlock(Context& ctx) {
  const int prompt =
      ctx.args.Has("--prompt") ? ParseRange(ctx.args.Value("--prompt"), "--prompt", 0, 1) : 0;
  const int option =
      ctx.args.Has("--option") ? ParseRange(ctx.args.Value("--option"), "--option", 0, 3) : 0;
  const int timeout = Timeout(ctx);
  std::string account;
  const bool withAccount = ctx.args.Has("--account");
  if (withAccount) {
    try {
      account = ReadAccountNumber(ctx.args.Value("--account"));
    } catch (const InputError& e) {
      return KeyFailure(ctx, e);
    }
  }
  char block[TLX_PIN_BLOCK_SIZE] = {0};
  Report r(ctx);
  const int rc = withAccount ? TLX_ReadPinAnsi(ctx.link.port, ctx.link.bp, ctx.link.baud, prompt,
                                               option, timeout, &account[0], block)
                             : TLX_ReadPinDES(ctx.link.port, ctx.link.bp, ctx.link.baud, prompt,
                                              option, timeout, block);
  if (!account.empty()) Wipe(&account[0], account.size());
  if (rc == TLX_OK) ReportSecret(r, ctx, "pin_block", "PIN block", block);
  Wipe(block, sizeof block);
  return r.Finish(rc);
}

const Subcommand kCommands[] = {
    {"pin-length", "PIN pad", "LENGTH", "sets the PIN length (4..14)", "", "", 1, 1, PinLength},
    {"key-reset", "PIN pad", "", "resets every key of the PIN pad", "", "", 0, 0, KeyReset},
    {"master-key", "PIN pad", "INDEX [FILE|-]", "loads master key INDEX (0..15)",
     "Reads two hexadecimal key texts, key1 and key2, from FILE or from standard\n"
     "input (\"-\", the default); white space separates them, '#' starts a comment.\n"
     "From a terminal both are asked for without echo. Keys are never taken from\n"
     "the command line.",
     "", 1, 2, MasterKey},
    {"work-key", "PIN pad", "MASTER INDEX [FILE|-]",
     "loads work key INDEX (0..15) under master key MASTER",
     "Reads one hexadecimal key text (the work key encrypted under the master key)\n"
     "from FILE or from standard input (\"-\", the default).",
     "", 2, 3, WorkKey},
    {"activate", "PIN pad", "MASTER INDEX", "activates work key INDEX of master key MASTER", "", "",
     2, 2, Activate},
    {"read-pin", "PIN pad", "[--mode 0|1] [--prompt 0|1] [--timeout S] [--show]",
     "reads a plain PIN",
     "--mode: plain entry mode (0 or 1), --prompt: 0 asks for the PIN, 1 asks once\n"
     "more; --timeout: seconds (1..999, default 30). Prints the PIN's length; only\n"
     "--show prints the PIN itself.",
     "mode=,prompt=,timeout=,show", 0, 0, ReadPin},
    {"pin-block", "PIN pad",
     "[--prompt 0|1] [--option 0..3] [--timeout S] [--account FILE|-] [--show]",
     "reads an encrypted PIN block",
     "Without --account: the PIN block command (TLX_ReadPinDES); with it, the block\n"
     "bound to the account number on the first line of FILE (\"-\": standard\n"
     "input; TLX_ReadPinAnsi). The number itself is never taken from the command\n"
     "line, where every user sees it. Prints the block's length; only --show\n"
     "prints the block.",
     "prompt=,option=,timeout=,account=,show", 0, 0, PinBlock},
};

}  // namespace

void AddPinPadCommands(std::vector<const Subcommand*>& out) {
  for (const Subcommand& c : kCommands) out.push_back(&c);
}

}  // namespace tlxctl
