#include "test_keys.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

#include "text_input.h"

namespace tlxctl {

namespace {

unsigned char OddParity(unsigned char b) {
  int ones = 0;
  for (int i = 1; i < 8; ++i) ones += (b >> i) & 1;
  return static_cast<unsigned char>((b & 0xFE) | (ones % 2 == 0 ? 1 : 0));
}

}  // namespace

bool RandomKey(size_t length, std::string* key) {
  if (length != 8 && length != 16 && length != 24) return false;
  std::string k(length, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(&k[0]), static_cast<int>(length)) != 1) {
    Wipe(&k[0], k.size());
    return false;
  }
  for (char& c : k) c = static_cast<char>(OddParity(static_cast<unsigned char>(c)));
  *key = k;
  Wipe(&k[0], k.size());
  return true;
}

bool EncryptUnderKey(const std::string& key, const std::string& data, std::string* out) {
  if (key.size() != 8 && key.size() != 16 && key.size() != 24) return false;
  if (data.empty() || data.size() % 8 != 0) return false;
  // A single-length key is K|K: EDE then comes down to plain DES.
  std::string k = key.size() == 8 ? key + key : key;
  const EVP_CIPHER* cipher = k.size() == 16 ? EVP_des_ede_ecb() : EVP_des_ede3_ecb();
  std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> ctx(EVP_CIPHER_CTX_new(),
                                                                 EVP_CIPHER_CTX_free);
  bool ok = ctx != nullptr &&
            EVP_EncryptInit_ex(ctx.get(), cipher, nullptr,
                               reinterpret_cast<const unsigned char*>(k.data()), nullptr) == 1;
  Wipe(&k[0], k.size());
  if (!ok) return false;
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  std::string r(data.size() + 16, '\0');
  int n1 = 0, n2 = 0;
  ok = EVP_EncryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(&r[0]), &n1,
                         reinterpret_cast<const unsigned char*>(data.data()),
                         static_cast<int>(data.size())) == 1 &&
       EVP_EncryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(&r[0]) + n1, &n2) == 1;
  if (!ok) return false;
  r.resize(static_cast<size_t>(n1 + n2));
  *out = r;
  return true;
}

std::string CheckValue(const std::string& key) {
  std::string out;
  if (!EncryptUnderKey(key, std::string(8, '\0'), &out)) return std::string();
  return out;
}

std::string HexOf(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) {
    s += kDigits[c >> 4];
    s += kDigits[c & 15];
  }
  return s;
}

std::string BytesOfHex(const std::string& hex) {
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
  };
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(value(hex[i]) * 16 + value(hex[i + 1]));
  return out;
}

}  // namespace tlxctl
