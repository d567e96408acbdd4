// Triple DES in ECB mode without padding (OpenSSL libcrypto), the cipher of
// the PIN pad's master keys, work keys and PIN blocks.
//
// Keys of 8 bytes are single-length (used as K|K, i.e. plain DES), 16 bytes
// double-length (K1|K2, EDE with K3 = K1), 24 bytes triple-length.
#ifndef TLXSIM_TDES_H
#define TLXSIM_TDES_H

#include <string>

namespace tlxsim {

bool IsTdesKeyLength(size_t n);
// Data must be a non-empty multiple of 8 bytes. False on a bad key or data
// length or a cipher failure; *out is then untouched.
bool TdesEncrypt(const std::string& key, const std::string& data, std::string* out);
bool TdesDecrypt(const std::string& key, const std::string& data, std::string* out);
// Key check value: the key's encryption of eight zero bytes.
std::string TdesCheckValue(const std::string& key);

}  // namespace tlxsim

#endif
