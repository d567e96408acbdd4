// Inputs that never come from the command line: key texts (a file or
// standard input, never an argument, where every user sees them in the
// process list), and longer texts read from files. Key texts live in
// buffers that are wiped when they go.
#ifndef TLXCTL_TEXT_INPUT_H
#define TLXCTL_TEXT_INPUT_H

#include <stdexcept>
#include <string>

#include "tlxdev.h"

namespace tlxctl {

// An input that cannot be read or is malformed: a key file or key typed
// that is not what a key command takes is a file problem (kExitLocal), as is
// a file too long; an account number too long is kExitUsage. The message
// never quotes key material.
struct InputError : std::runtime_error {
  InputError(const std::string& message, int status)
      : std::runtime_error(message), status(status) {}
  int status;
};

// Up to two hexadecimal key texts, NUL-terminated, wiped on destruction.
struct KeyTexts {
  KeyTexts();
  ~KeyTexts();
  KeyTexts(const KeyTexts&) = delete;
  KeyTexts& operator=(const KeyTexts&) = delete;
  char text[2][TLX_MAX_KEY_TEXT + 1];
  int count;
};

// Reads exactly `count` (1 or 2) key texts from the file `source`, or from
// standard input when it is "-". Texts are separated by white space; '#'
// starts a comment up to the end of its line. From a terminal each key is
// asked for on stderr with echo off. A file that other users may read gives
// a warning on stderr.
void ReadKeys(const std::string& source, int count, const char* const prompts[], KeyTexts* out);

// The terminal takes single, double and triple length DES keys: 8, 16 or 24
// bytes. A key text (or pair) of another length would be sent and refused:
// InputError (kExitLocal) naming `what` and the lengths taken.
void CheckKeyLength(const std::string& what, size_t hexDigits);

// One line of standard input without its line end (an account number).
std::string ReadLineFromStdin(const char* what, size_t maxLen);

// The account number of a PIN block entry: the first line of the file
// `source`, or of standard input when it is "-". Never from the command
// line: a source that is no file but looks like a number is refused.
std::string ReadAccountNumber(const std::string& source);

// A whole file, at most maxLen bytes.
std::string ReadWholeFile(const std::string& path, size_t maxLen);

// Puts back the settings of a terminal whose echo is off for a key prompt;
// nothing when none is. Async-signal-safe: for a signal that ends tlxctl.
void RestoreTerminalEcho();

// Overwrites n bytes in a way the compiler keeps.
void Wipe(void* p, size_t n);

}  // namespace tlxctl

#endif
