#include "PinBlock.h"

#include <openssl/rand.h>

#include "Tdes.h"

namespace tlxsim {

static bool AllDigits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool AccountField(const std::string& account, std::string* field) {
  if (!AllDigits(account) || account.size() > 19) return false;
  // 12 rightmost digits excluding the check digit, left-padded with zeros.
  std::string digits = account.empty() ? std::string() : account.substr(0, account.size() - 1);
  if (digits.size() > 12) digits = digits.substr(digits.size() - 12);
  std::string nibbles = std::string(16 - digits.size(), '0') + digits;
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i)
    out[i] = static_cast<char>(((nibbles[2 * i] - '0') << 4) | (nibbles[2 * i + 1] - '0'));
  *field = out;
  return true;
}

bool MakeClearPinBlock(int format, const std::string& pin, const std::string& accountField,
                       std::string* block) {
  if (pin.size() < 4 || pin.size() > 14 || !AllDigits(pin)) return false;
  if (format != 0 && format != 1) return false;
  unsigned char fill[16];
  if (format == 1 && RAND_bytes(fill, sizeof fill) != 1) return false;
  unsigned char nib[16];
  nib[0] = static_cast<unsigned char>(format);
  nib[1] = static_cast<unsigned char>(pin.size());
  for (size_t i = 0; i < 14; ++i) {
    if (i < pin.size())
      nib[2 + i] = static_cast<unsigned char>(pin[i] - '0');
    else
      nib[2 + i] = format == 0 ? 0x0F : static_cast<unsigned char>(fill[i] & 0x0F);
  }
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) {
    unsigned char b = static_cast<unsigned char>((nib[2 * i] << 4) | nib[2 * i + 1]);
    if (format == 0 && accountField.size() == 8) b ^= static_cast<unsigned char>(accountField[i]);
    out[i] = static_cast<char>(b);
  }
  *block = out;
  return true;
}

bool PinFromClearBlock(const std::string& block, const std::string& accountField,
                       std::string* pin) {
  if (block.size() < 8) return false;
  unsigned char b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(block[i]);
  int format = b[0] >> 4;
  if (format == 0 && accountField.size() == 8)
    for (int i = 0; i < 8; ++i) b[i] ^= static_cast<unsigned char>(accountField[i]);
  if (format != 0 && format != 1) return false;
  size_t len = b[0] & 0x0F;
  if (len < 4 || len > 14) return false;
  std::string r;
  for (size_t i = 0; i < len; ++i) {
    int n = 2 + static_cast<int>(i);
    int v = (n % 2 == 0) ? (b[n / 2] >> 4) : (b[n / 2] & 0x0F);
    if (v > 9) return false;
    r.push_back(static_cast<char>('0' + v));
  }
  *pin = r;
  return true;
}

bool DecryptPinBlock(const std::string& workKey, const std::string& block,
                     const std::string& account, std::string* pin) {
  if (block.size() < 8) return false;
  std::string clear, field;
  if (!TdesDecrypt(workKey, block.substr(0, 8), &clear)) return false;
  if (!AccountField(account, &field)) return false;
  return PinFromClearBlock(clear, field, pin);
}

}  // namespace tlxsim
