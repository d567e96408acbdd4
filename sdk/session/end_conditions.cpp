// End conditions: decide from the bytes received so far whether a response
// is complete. The serial read asks after every read(), the HID read after
// every byte.
#include "session/session.h"

namespace {

bool LastByteIs(const char* data, int count, unsigned char value) {
  return data != nullptr && count >= 1 && static_cast<unsigned char>(data[count - 1]) == value;
}

}  // namespace

bool EndOfCondition1(const char* data, int count) { return LastByteIs(data, count, 0x03); }

bool EndOfCondition2(const char* data, int count) { return LastByteIs(data, count, 0x0D); }

bool EndOfCondition3(const char* data, int count) { return LastByteIs(data, count, 'F'); }

bool EndOfCondition4(const char* data, int count) { return data != nullptr && count >= 1; }

bool MediaEndCondition(const char* data, int count) { return LastByteIs(data, count, 0x03); }
