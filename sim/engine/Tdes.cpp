#include "Tdes.h"

#include <openssl/evp.h>

#include <memory>

namespace tlxsim {

bool IsTdesKeyLength(size_t n) { return n == 8 || n == 16 || n == 24; }

static bool Run(const std::string& key, const std::string& data, bool encrypt, std::string* out) {
  if (!IsTdesKeyLength(key.size()) || data.empty() || data.size() % 8 != 0) return false;
  std::string k = key;
  if (k.size() == 8) k += key;  // K|K: EDE degenerates to single DES
  const EVP_CIPHER* cipher = k.size() == 16 ? EVP_des_ede_ecb() : EVP_des_ede3_ecb();
  std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> ctx(EVP_CIPHER_CTX_new(),
                                                                 EVP_CIPHER_CTX_free);
  if (!ctx) return false;
  if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr,
                        reinterpret_cast<const unsigned char*>(k.data()), nullptr,
                        encrypt ? 1 : 0) != 1)
    return false;
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  std::string r(data.size() + 16, '\0');
  int n1 = 0, n2 = 0;
  if (EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(&r[0]), &n1,
                       reinterpret_cast<const unsigned char*>(data.data()),
                       static_cast<int>(data.size())) != 1)
    return false;
  if (EVP_CipherFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(&r[0]) + n1, &n2) != 1)
    return false;
  r.resize(static_cast<size_t>(n1 + n2));
  *out = std::move(r);
  return true;
}

bool TdesEncrypt(const std::string& key, const std::string& data, std::string* out) {
  return Run(key, data, true, out);
}

bool TdesDecrypt(const std::string& key, const std::string& data, std::string* out) {
  return Run(key, data, false, out);
}

std::string TdesCheckValue(const std::string& key) {
  std::string out;
  if (!TdesEncrypt(key, std::string(8, '\0'), &out)) return std::string();
  return out;
}

}  // namespace tlxsim
