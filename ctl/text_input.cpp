#include "text_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "exit_status.h"

namespace tlxctl {

namespace {

// Largest key input taken (comments included).
enum { kKeyInputMax = 64 * 1024 };

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string ErrnoText() { return std::strerror(errno); }

enum { kReadFailed = -1, kTooLong = -2 };

// Reads all of fd into buf (cap bytes); the count, kTooLong when it does
// not fit, kReadFailed (errno set) when a read fails.
long ReadAll(int fd, char* buf, size_t cap) {
  size_t got = 0;
  for (;;) {
    if (got == cap) {
      char probe;
      ssize_t more = ::read(fd, &probe, 1);
      Wipe(&probe, 1);
      return more == 0 ? static_cast<long>(got) : static_cast<long>(kTooLong);
    }
    ssize_t n = ::read(fd, buf + got, cap - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return static_cast<long>(kReadFailed);
    if (n == 0) return static_cast<long>(got);
    got += static_cast<size_t>(n);
  }
}

// Splits the input into key texts; comments and white space between them.
void Tokenise(const char* in, size_t len, int count, const std::string& source, KeyTexts* out) {
  size_t i = 0;
  out->count = 0;
  while (i < len) {
    char c = in[i];
    if (c == '#') {
      while (i < len && in[i] != '\n') ++i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (out->count == count)
      throw InputError(source + " holds more than " + std::to_string(count) + " key text(s)",
                       kExitLocal);
    const int k = out->count;
    size_t n = 0;
    while (i < len &&
           !(in[i] == ' ' || in[i] == '\t' || in[i] == '\r' || in[i] == '\n' || in[i] == '#')) {
      if (!IsHexDigit(in[i]))
        throw InputError(
            "key text " + std::to_string(k + 1) + " in " + source + " is not hexadecimal",
            kExitLocal);
      if (n == TLX_MAX_KEY_TEXT)
        throw InputError("key text " + std::to_string(k + 1) + " in " + source +
                             " is longer than " + std::to_string(TLX_MAX_KEY_TEXT) + " digits",
                         kExitLocal);
      out->text[k][n++] = in[i++];
    }
    if (n % 2 != 0)
      throw InputError(
          "key text " + std::to_string(k + 1) + " in " + source + " has an odd number of digits",
          kExitLocal);
    out->text[k][n] = '\0';
    ++out->count;
  }
  if (out->count != count)
    throw InputError(source + " holds " + std::to_string(out->count) + " key text(s), " +
                         std::to_string(count) + " needed",
                     kExitLocal);
}

// The terminal whose echo is off while a key is asked for, and its
// settings from before: a signal that ends tlxctl at the prompt puts them
// back (RestoreTerminalEcho).
std::atomic<int> g_echoOffFd{-1};
termios g_echoSaved;

// Asks for each key on the terminal with echo off.
void AskOnTerminal(int fd, int count, const char* const prompts[], KeyTexts* out) {
  termios saved;
  bool restore = tcgetattr(fd, &saved) == 0;
  if (restore) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    g_echoSaved = saved;
    g_echoOffFd.store(fd);
    tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  char line[TLX_MAX_KEY_TEXT + 4];
  std::string error;
  for (int k = 0; k < count && error.empty(); ++k) {
    std::fprintf(stderr, "%s (hexadecimal, not shown): ", prompts[k]);
    std::fflush(stderr);
    size_t n = 0;
    char c = 0;
    bool ended = false, overflow = false;
    while (::read(fd, &c, 1) == 1) {
      if (c == '\n') {
        ended = true;
        break;
      }
      if (n < sizeof line)
        line[n++] = c;
      else
        overflow = true;
    }
    std::fputc('\n', stderr);
    Wipe(&c, 1);
    if (!ended && n == 0) error = "no key text given";
    if (overflow)
      error = "the key typed is longer than " + std::to_string(TLX_MAX_KEY_TEXT) + " digits";
    if (!error.empty()) break;
    KeyTexts one;
    try {
      Tokenise(line, n, 1, "the key typed", &one);
      std::memcpy(out->text[k], one.text[0], sizeof out->text[k]);
    } catch (const InputError& e) {
      error = e.what();
    }
  }
  Wipe(line, sizeof line);
  if (restore) {
    tcsetattr(fd, TCSAFLUSH, &saved);
    g_echoOffFd.store(-1);
  }
  if (!error.empty()) throw InputError(error, kExitLocal);
  out->count = count;
}

}  // namespace

void Wipe(void* p, size_t n) { explicit_bzero(p, n); }

void RestoreTerminalEcho() {
  const int fd = g_echoOffFd.exchange(-1);
  if (fd >= 0) tcsetattr(fd, TCSANOW, &g_echoSaved);
}

KeyTexts::KeyTexts() : count(0) { std::memset(text, 0, sizeof text); }

KeyTexts::~KeyTexts() { Wipe(text, sizeof text); }

void ReadKeys(const std::string& source, int count, const char* const prompts[], KeyTexts* out) {
  const bool fromStdin = source == "-";
  const std::string name = fromStdin ? std::string("standard input") : source;
  int fd = fromStdin ? 0 : ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw InputError("cannot read " + name + ": " + ErrnoText(), kExitLocal);
  struct stat st;
  if (!fromStdin && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IROTH) != 0)
    std::fprintf(stderr, "tlxctl: warning: %s is readable by every user\n", source.c_str());

  if (fromStdin && ::isatty(fd)) {
    AskOnTerminal(fd, count, prompts, out);
    return;
  }
  static char input[kKeyInputMax];
  long n = ReadAll(fd, input, sizeof input);
  const int readErrno = errno;
  if (!fromStdin) ::close(fd);
  try {
    if (n == kTooLong)
      throw InputError(name + " is longer than " + std::to_string(kKeyInputMax) + " bytes",
                       kExitLocal);
    if (n < 0)
      throw InputError("cannot read " + name + ": " + std::strerror(readErrno), kExitLocal);
    Tokenise(input, static_cast<size_t>(n), count, name, out);
  } catch (...) {
    Wipe(input, sizeof input);
    throw;
  }
  Wipe(input, sizeof input);
}

void CheckKeyLength(const std::string& what, size_t hexDigits) {
  const size_t bytes = hexDigits / 2;
  if (bytes != 8 && bytes != 16 && bytes != 24)
    throw InputError(what + " is " + std::to_string(bytes) +
                         " bytes; the terminal takes 8, 16 or 24 (16, 32 or 48 hex digits)",
                     kExitLocal);
}

std::string ReadLineFromStdin(const char* what, size_t maxLen) {
  std::string line;
  char c;
  while (::read(0, &c, 1) == 1 && c != '\n') {
    if (line.size() >= maxLen)
      throw InputError(std::string(what) + " on standard input is too long", kExitUsage);
    line += c;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string ReadAccountNumber(const std::string& source) {
  enum { kMaxAccount = 256 };
  if (source == "-") return ReadLineFromStdin("the account number", kMaxAccount);
  struct stat st;
  if (::stat(source.c_str(), &st) != 0 && !source.empty() &&
      source.find_first_not_of("0123456789") == std::string::npos)
    throw InputError(
        "--account takes a file or '-' (standard input), not the number itself: "
        "every user sees the command line",
        kExitUsage);
  std::string text = ReadWholeFile(source, 4 * kMaxAccount);
  const size_t end = text.find_first_of("\r\n");
  std::string line = text.substr(0, end);
  Wipe(&text[0], text.size());
  if (line.size() > kMaxAccount) {
    Wipe(&line[0], line.size());
    throw InputError("the account number in " + source + " is too long", kExitUsage);
  }
  return line;
}

std::string ReadWholeFile(const std::string& path, size_t maxLen) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) throw InputError("cannot read " + path + ": " + ErrnoText(), kExitLocal);
  std::string out;
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    out.append(buf, n);
    if (out.size() > maxLen) {
      std::fclose(f);
      throw InputError(path + " is longer than " + std::to_string(maxLen) + " bytes", kExitLocal);
    }
  }
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) throw InputError("cannot read " + path, kExitLocal);
  return out;
}

}  // namespace tlxctl
