// What a subcommand prints: lines for a person, or one JSON object for a
// script (--json), and the exit status that goes with the result.
//   success   the lines on stdout (or the object with "result": 0)
//   failure   "tlxctl: NAME: error CODE: TEXT" on stderr, with the
//             object holding "result", "error" and "exit" under --json
#ifndef TLXCTL_REPORT_H
#define TLXCTL_REPORT_H

#include <string>

#include "cli.h"

struct cJSON;

namespace tlxctl {

class Report {
 public:
  explicit Report(const Context& ctx);
  ~Report();
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  void Field(const char* key, const std::string& value);
  void Field(const char* key, const char* value) { Field(key, std::string(value)); }
  void Field(const char* key, long value);
  void Field(const char* key, int value) { Field(key, static_cast<long>(value)); }
  void Field(const char* key, bool value);
  void Null(const char* key);
  // The object itself, for nested values.
  cJSON* Object() { return object_; }

  // A line for a person (not printed under --json).
  void Line(const std::string& text);
  // A line for stderr after an error (a hint), printed in both modes.
  void Hint(const std::string& text);

  // Prints what the result calls for and gives the exit status.
  int Finish(int result);
  // A failure of tlxctl itself (no library result): message, status.
  int Fail(const std::string& message, int status);

 private:
  void PrintObject();

  const Context& ctx_;
  cJSON* object_;
  std::string lines_;
  std::string hints_;
};

// Prints a cJSON value to stdout, one document.
void PrintJson(cJSON* value);

}  // namespace tlxctl

#endif
