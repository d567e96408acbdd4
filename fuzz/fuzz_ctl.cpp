// tlxctl's parsers, compiled again with the fuzzer's instrumentation. The
// first byte picks one:
//   0  the command line: global options, the subcommand and its options
//      (words separated by NUL bytes); a mistake is a usage error, nothing
//      else
//   1  the key reader (one or two key texts from a file): a text it takes
//      is hexadecimal, of even length, 1..TLX_MAX_KEY_TEXT digits
//   2  the account number reader (the first line of a file)
//   3  `tlxctl trace FILE`: the trace reader and the decoder of every record
//   4  the UTF-8 to GBK conversion and back: a text it converts comes back
//      unchanged
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "fuzz_support.h"
#include "gbk_text.h"
#include "text_input.h"
#include "tlxdev.h"

namespace {

std::string WriteInput(const uint8_t* data, size_t size) {
  static const std::string path = fuzz::ScratchDir() + "/ctl-input";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f != nullptr) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  // Private, as key files should be (the reader warns about others).
  chmod(path.c_str(), 0600);
  return path;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void CommandLine(const uint8_t* data, size_t size) {
  std::vector<std::string> words(1, "tlxctl");
  std::string word;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(data[i]);
    }
  }
  words.push_back(word);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  try {
    tlxctl::GlobalOptions g = tlxctl::ParseGlobal(static_cast<int>(words.size()), argv.data());
    if (g.rest.empty()) return;
    const tlxctl::Subcommand* sub = tlxctl::FindCommand(g.rest[0]);
    if (sub == nullptr) return;
    tlxctl::ParseCommandArgs(*sub, std::vector<std::string>(g.rest.begin() + 1, g.rest.end()));
  } catch (const tlxctl::UsageError&) {
  }
}

void Keys(const uint8_t* data, size_t size) {
  const std::string path = WriteInput(data + 1, size - 1);
  static const char* const kPrompts[] = {"key1", "key2"};
  const int count = data[0] % 2 + 1;
  tlxctl::KeyTexts keys;
  try {
    tlxctl::ReadKeys(path, count, kPrompts, &keys);
  } catch (const tlxctl::InputError&) {
    return;
  }
  fuzz::Check(keys.count == count, "key count", keys.count);
  for (int k = 0; k < count; ++k) {
    const std::string text = keys.text[k];
    fuzz::Check(!text.empty() && text.size() % 2 == 0 && text.size() <= TLX_MAX_KEY_TEXT,
                "key text length", static_cast<long>(text.size()));
    for (char c : text) fuzz::Check(IsHexDigit(c), "key text is hexadecimal", c);
  }
}

void Account(const uint8_t* data, size_t size) {
  const std::string path = WriteInput(data, size);
  try {
    const std::string account = tlxctl::ReadAccountNumber(path);
    fuzz::Check(account.find_first_of("\r\n") == std::string::npos, "one line", 0);
  } catch (const tlxctl::InputError&) {
  }
}

void Trace(const uint8_t* data, size_t size) {
  const std::string path = WriteInput(data, size);
  const tlxctl::Subcommand* sub = tlxctl::FindCommand("trace");
  fuzz::Check(sub != nullptr, "trace command", 0);
  tlxctl::Context ctx;
  ctx.sub = sub;
  ctx.json = size > 0 && (data[0] & 1);
  ctx.args = tlxctl::ParseCommandArgs(*sub, {path});
  const int status = sub->run(ctx);
  fuzz::Check(status >= 0 && status <= 21, "exit status", status);
}

void Text(const uint8_t* data, size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  std::string gbk, problem;
  if (!tlxctl::Utf8ToGbk(in, &gbk, &problem)) {
    fuzz::Check(!problem.empty(), "a refusal says why", 0);
    return;
  }
  fuzz::Check(tlxctl::GbkToUtf8(gbk) == in, "UTF-8 -> GBK -> UTF-8 gives the text back", 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The trace command prints its decoding: not into the fuzzer's log.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 64 * 1024) return 0;
  const uint8_t* rest = data + 1;
  const size_t n = size - 1;
  switch (data[0] % 5) {
    case 0:
      CommandLine(rest, n);
      break;
    case 1:
      if (n > 0) Keys(rest, n);
      break;
    case 2:
      Account(rest, n);
      break;
    case 3:
      Trace(rest, n);
      break;
    case 4:
      Text(rest, n);
      break;
  }
  return 0;
}
