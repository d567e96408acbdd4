// tlxctl test-key: keys for a terminal on the bench. A random master or
// work key file, a work key encrypted under a master key (what work-key
// loads), a key's check value. Production keys come from the bank's key
// management; these are for trying the PIN pad out.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "cli.h"
#include "exit_status.h"
#include "report.h"
#include "test_keys.h"
#include "text_input.h"

namespace tlxctl {

namespace {

const char kNotForProduction[] =
    "# A TEST key made by tlxctl test-key, for a terminal on the bench only.\n"
    "# Production keys come from the bank's key management.\n";

// Wipes a string's bytes when it goes.
struct SecretString {
  std::string s;
  ~SecretString() {
    if (!s.empty()) Wipe(&s[0], s.size());
  }
};

// The key of a key file: a master key file holds key1 (the right half) and
// key2 (the left half), the key is key2 || key1; a work key file one text.
void ReadKey(const std::string& source, bool master, SecretString* key) {
  KeyTexts texts;
  static const char* const kMasterPrompts[] = {"key1", "key2"};
  static const char* const kWorkPrompts[] = {"key"};
  ReadKeys(source, master ? 2 : 1, master ? kMasterPrompts : kWorkPrompts, &texts);
  if (master) {
    CheckKeyLength("the master key (key2 and key1 together)",
                   std::strlen(texts.text[0]) + std::strlen(texts.text[1]));
    key->s = BytesOfHex(texts.text[1]) + BytesOfHex(texts.text[0]);
  } else {
    CheckKeyLength("the key", std::strlen(texts.text[0]));
    key->s = BytesOfHex(texts.text[0]);
  }
}

std::string ShortCheck(const std::string& key) { return HexOf(CheckValue(key)).substr(0, 6); }

// Writes a new file readable by its owner only; never replaces one.
void WriteNewFile(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0)
    throw InputError("cannot create " + path + ": " + std::strerror(errno) +
                         (errno == EEXIST ? " (an existing key file is never replaced)" : ""),
                     kExitLocal);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string reason = std::strerror(errno);
      ::close(fd);
      ::unlink(path.c_str());
      throw InputError("cannot write " + path + ": " + reason, kExitLocal);
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0)
    throw InputError("cannot write " + path + ": " + std::strerror(errno), kExitLocal);
}

int New(Context& ctx, Report& r) {
  const auto& p = ctx.args.Positionals();
  if (p.size() != 2) throw UsageError("'test-key new' takes one FILE");
  const bool master = ctx.args.Has("--master");
  const int length =
      ctx.args.Has("--length") ? ParseInt(ctx.args.Value("--length"), "--length") : 16;
  if (length != 8 && length != 16 && length != 24)
    throw UsageError("--length takes 8, 16 or 24 (bytes), not '" + ctx.args.Value("--length") +
                     "'");
  SecretString key;
  if (!RandomKey(static_cast<size_t>(length), &key.s))
    return r.Fail("the random source failed", kExitLocal);
  const std::string check = ShortCheck(key.s);
  SecretString text;
  text.s = kNotForProduction;
  if (master) {
    const size_t half = key.s.size() / 2;
    text.s += "# master key, " + std::to_string(length) + " bytes, check value " + check +
              "; master-key takes key1 then key2, the key is key2 || key1\n"
              "# key1 (right half)\n" +
              HexOf(key.s.substr(half)) + "\n" + "# key2 (left half)\n" +
              HexOf(key.s.substr(0, half)) + "\n";
  } else {
    text.s += "# clear key, " + std::to_string(length) + " bytes, check value " + check +
              "; test-key encrypt puts it under a master key for work-key\n" + HexOf(key.s) + "\n";
  }
  WriteNewFile(p[1], text.s);
  r.Field("file", p[1]);
  r.Field("kind", master ? "master" : "clear");
  r.Field("length", length);
  r.Field("check_value", check);
  r.Line(p[1] + ": " + (master ? "master" : "clear") + " test key, " + std::to_string(length) +
         " bytes, check value " + check);
  return r.Finish(0);
}

int Encrypt(Context& ctx, Report& r) {
  const auto& p = ctx.args.Positionals();
  if (p.size() != 3) throw UsageError("'test-key encrypt' takes MASTER_FILE and KEY_FILE");
  if (p[1] == "-" && p[2] == "-")
    throw UsageError("only one of the key files can be standard input");
  SecretString master, work, encrypted;
  ReadKey(p[1], true, &master);
  ReadKey(p[2], false, &work);
  if (!EncryptUnderKey(master.s, work.s, &encrypted.s))
    return r.Fail("the key could not be encrypted", kExitLocal);
  const std::string hex = HexOf(encrypted.s);
  const std::string check = ShortCheck(work.s);
  const std::string masterCheck = ShortCheck(master.s);
  r.Field("encrypted_key", hex);
  r.Field("check_value", check);
  r.Field("master_check_value", masterCheck);
  // The output is itself a key file for work-key: the comment rides along.
  r.Line("# work key encrypted under the master key (check value " + masterCheck +
         "); the work key's check value is " + check);
  r.Line(hex);
  return r.Finish(0);
}

int Check(Context& ctx, Report& r) {
  const auto& p = ctx.args.Positionals();
  if (p.size() > 2) throw UsageError("'test-key check' takes one FILE");
  SecretString key;
  ReadKey(p.size() == 2 ? p[1] : std::string("-"), ctx.args.Has("--master"), &key);
  const std::string full = HexOf(CheckValue(key.s));
  r.Field("check_value", full.substr(0, 6));
  r.Field("check_block", full);
  r.Line(full.substr(0, 6));
  return r.Finish(0);
}

int TestKey(Context& ctx) {
  const std::string action = ctx.args.Positionals()[0];
  Report r(ctx);
  try {
    if (action == "new") return New(ctx, r);
    if (action == "encrypt") return Encrypt(ctx, r);
    if (action == "check") return Check(ctx, r);
  } catch (const InputError& e) {
    return r.Fail(e.what(), e.status);
  }
  throw UsageError("'test-key' takes new, encrypt or check, not '" + action + "'");
}

const Subcommand kCommands[] = {
    {"test-key", "PIN pad",
     "new [--master] [--length 8|16|24] FILE | encrypt MASTER_FILE KEY_FILE | check [--master] "
     "[FILE|-]",
     "test keys: a random key file, a work key encrypted under a master key, a check value",
     "For a terminal on the bench only: production keys come from the bank's key\n"
     "management, never from here.\n"
     "  new FILE          writes a random clear key (--length bytes, default 16) to\n"
     "                    the new FILE (owner only); --master: a master key file,\n"
     "                    key1 (the right half) and key2 (the left half), as\n"
     "                    master-key reads it.\n"
     "  encrypt M K       prints the clear key of file K encrypted under the master\n"
     "                    key of file M (3DES-ECB): the text work-key loads, with\n"
     "                    its check value as a comment.\n"
     "  check FILE        prints a key's check value: the first 3 bytes of its\n"
     "                    3DES encryption of eight zero bytes (--json: all 8 as\n"
     "                    \"check_block\"); --master for a master key file.\n"
     "Keys of 8 bytes are single DES, 16 double length (left half first), 24\n"
     "triple length.",
     "master,length=", 1, 3, TestKey},
};

}  // namespace

void AddTestKeyCommands(std::vector<const Subcommand*>& out) {
  for (const Subcommand& c : kCommands) out.push_back(&c);
}

}  // namespace tlxctl
