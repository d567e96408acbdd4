// Test keys for a terminal on the bench: random keys, a work key encrypted
// under a master key, a key's check value. Triple DES in ECB mode without
// padding (OpenSSL libcrypto), the way the terminal uses its keys: 8-byte
// keys are single DES (K|K), 16 bytes double length (K1|K2|K1), 24 bytes
// triple length. Production keys come from the bank's key management, never
// from here.
#ifndef TLXCTL_TEST_KEYS_H
#define TLXCTL_TEST_KEYS_H

#include <string>

namespace tlxctl {

// Random key bytes (8, 16 or 24) with DES odd parity; false when the random
// source fails.
bool RandomKey(size_t length, std::string* key);
// Encrypts data (a multiple of 8 bytes) under key; false for a key of
// another length than 8, 16 or 24 or a cipher failure.
bool EncryptUnderKey(const std::string& key, const std::string& data, std::string* out);
// The key's encryption of eight zero bytes (empty on failure); the usual
// check value is its first three bytes.
std::string CheckValue(const std::string& key);

// Hex text and bytes.
std::string HexOf(const std::string& bytes);
std::string BytesOfHex(const std::string& hex);

}  // namespace tlxctl

#endif
