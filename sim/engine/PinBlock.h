// ISO 9564 PIN blocks as the PIN pad builds them, and the reverse for tests.
//
// Format 0: PIN field (0, length, digits, F fill) XOR account field (0000 +
// the 12 rightmost account digits without the check digit). Format 1: PIN
// field (1, length, digits, random fill nibbles), no account.
#ifndef TLXSIM_PINBLOCK_H
#define TLXSIM_PINBLOCK_H

#include <string>

namespace tlxsim {

// The 8-byte account field for format 0 from an account number text;
// false when it holds non-digits or more than 19 digits. Empty or a
// single digit gives all zeros.
bool AccountField(const std::string& account, std::string* field);
// Clear PIN block. pin: 4..14 decimal digits. False otherwise.
bool MakeClearPinBlock(int format, const std::string& pin, const std::string& accountField,
                       std::string* block);
// Reverse of MakeClearPinBlock (format from the control nibble; the account
// field is used for format 0). False when the block is malformed.
bool PinFromClearBlock(const std::string& block, const std::string& accountField, std::string* pin);

// Test helper: decrypts the first 8 bytes of an encrypted PIN block with the
// work key and recovers the PIN. account: the account number text sent with
// the ANSI command ("" for the plain block command, whose account field is
// zero).
bool DecryptPinBlock(const std::string& workKey, const std::string& block,
                     const std::string& account, std::string* pin);

}  // namespace tlxsim

#endif
