// Both reply checks of the session layer on any bytes: the framed check and
// the framed data extraction into the 1024-byte area the PIN block commands
// give it, and the end conditions.
#include <cstdint>

#include "compat/session.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  const int len = static_cast<int>(size);
  std::unique_ptr<char[]> reply = fuzz::Exact(size, data, size);

  const int framed = CheckAndGetResponse(reply.get(), len);
  fuzz::Check(framed == 0 || framed == -2 || framed == -7, "framed check result", framed);
  fuzz::Check(size != 0 || framed == -2, "no data gives -2", framed);

  enum { kBlockArea = 1024 };
  std::unique_ptr<char[]> out = fuzz::Exact(kBlockArea);
  int outLen = -1;
  const int extracted = CheckAndGetResponse(0x02, 0x03, reply.get(), len, out.get(), &outLen);
  fuzz::Check(extracted == 0 || extracted == -7, "extraction result", extracted);
  if (extracted == 0) {
    fuzz::Check(outLen >= 0 && outLen < kBlockArea, "extracted length", outLen);
  } else {
    fuzz::Check(outLen == -1, "failed extraction leaves the length", outLen);
  }

  for (int n = 0; n <= len && n < 16; ++n) {
    EndOfCondition1(reply.get(), n);
    EndOfCondition2(reply.get(), n);
    EndOfCondition3(reply.get(), n);
    EndOfCondition4(reply.get(), n);
    MediaEndCondition(reply.get(), n);
  }
  return 0;
}
