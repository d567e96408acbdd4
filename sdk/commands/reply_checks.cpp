// Checks applied to a received reply: the plain STX ... ETX frame with its
// negative acknowledgement, and the frame whose body is the HexAsc1 form of
// a tag byte followed by data. Neither modifies its input.
#include <cstring>

#include "core/tlx_internal.h"
#include "util/convert.h"

namespace tlx {

namespace {

const int kMaxBodyChars = 2048;
const int kScratchSize = 1024;
const unsigned char kTagShort = 0x10;  // at most 8 data bytes
const unsigned char kTagLong = 0x20;   // more than 8 data bytes

}  // namespace

int CheckFramedReply(const char* buf, int len) {
  if (buf == nullptr || len <= 0) return TLX_ERR_TIMEOUT;
  if (len > 1 && static_cast<unsigned char>(buf[0]) == kStx &&
      static_cast<unsigned char>(buf[len - 1]) == kEtx)
    return buf[1] == 'U' ? TLX_ERR_REPLY : TLX_OK;
  return TLX_ERR_REPLY;
}

int CheckTaggedReply(char head, char tail, char* buf, int len, char* out, int* outLen) {
  if (buf == nullptr || out == nullptr || outLen == nullptr) return TLX_ERR_REPLY;
  if (len < 2) return TLX_ERR_REPLY;
  if (buf[0] != head || buf[len - 1] != tail) return TLX_ERR_REPLY;

  const int bodyChars = len - 2;
  // The body is two characters per byte; an odd count is a garbled frame.
  if (bodyChars > kMaxBodyChars || bodyChars % 2 != 0) return TLX_ERR_REPLY;

  char scratch[kScratchSize];
  std::memset(scratch, 0, sizeof scratch);
  const int decoded = HexAsc1Merge(buf + 1, bodyChars, scratch, kScratchSize);
  if (decoded <= 0) return TLX_ERR_REPLY;

  const unsigned char tag = static_cast<unsigned char>(scratch[0]);
  const int n = decoded - 1;
  int result = TLX_ERR_REPLY;
  if ((tag == kTagShort && n <= 8) || (tag == kTagLong && n > 8)) {
    std::memcpy(out, scratch + 1, static_cast<size_t>(n));
    *outLen = n;
    result = TLX_OK;
  }
  SecureWipe(scratch, sizeof scratch);  // the data is a PIN block
  return result;
}

}  // namespace tlx
