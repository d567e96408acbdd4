// Readable one-line renderings of wire bytes for the engine's log. Key and
// PIN material never reaches these lines in clear.
#ifndef TLXSIM_WIRETEXT_H
#define TLXSIM_WIRETEXT_H

#include <string>
#include <vector>

#include "CommandParser.h"

namespace tlxsim {

// Control characters as <ESC>, <STX>, <ETX>, <CR>, <LF> or \xNN; cut after
// `max` characters with a note of the total length.
std::string Printable(const std::string& bytes, size_t max = 120);
// The command as the log shows it, with key material and account digits
// masked ("M 1 ****").
std::string DescribeCommand(const ParsedCommand& c);
// Splits fields at '|'.
std::vector<std::string> SplitFields(const std::string& fields);
// Strict decimal integer; false for anything else.
bool ParseInt(const std::string& text, long* value);

}  // namespace tlxsim

#endif
