// The wire trace under fuzzed replies: a command that carries a key, a PIN,
// a PIN block or an account number runs with the trace on, over the HID
// link or the serial line, and the oracle reads the trace file: none of the
// secrets the call was given or the terminal answered may appear in it in
// any form (the bytes, their hex dump, their HexAsc1 form, the hex dump of
// that), also when the reply is cut (RX-PART), split over reads or reports,
// wrapped in other bytes or comes after others.
//
// The secrets are drawn by the target (from a hash of the input), so the
// fuzzer steers the frame around them, not their bytes. Input: a command
// selector, a link and shape byte, a frame byte, then framed chunks (see
// fuzz::Replies): the terminal's other replies.
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fake_libusb.h"
#include "fake_serial.h"
#include "fuzz_support.h"
#include "tlxdev.h"

namespace {

// xorshift64 over a hash of the input: secrets the fuzzer cannot aim at.
struct Draw {
  uint64_t s;
  explicit Draw(const uint8_t* data, size_t size) : s(1469598103934665603ULL) {
    for (size_t i = 0; i < size; ++i) s = (s ^ data[i]) * 1099511628211ULL;
    if (s == 0) s = 1;
  }
  uint64_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  }
  std::string Bytes(size_t n) {
    std::string out;
    while (out.size() < n) out += static_cast<char>(Next() & 0xFF);
    return out;
  }
  std::string Digits(size_t n) {
    std::string out;
    while (out.size() < n) out += static_cast<char>('0' + Next() % 10);
    return out;
  }
};

std::string Hex(const std::string& bytes, bool upper = true) {
  const char* d = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

std::string HexAsc1(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    out += static_cast<char>(0x30 + (c >> 4));
    out += static_cast<char>(0x30 + (c & 15));
  }
  return out;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Contains(const std::string& hay, const std::string& needle) {
  return !needle.empty() && hay.find(needle) != std::string::npos;
}

// Every form of secret must be missing from the trace, unless the
// terminal's other replies themselves carry that form's bytes (then the
// trace shows what the terminal sent, not the secret).
void CheckAbsent(const std::string& trace, const std::string& secret,
                 const std::vector<std::string>& others, const char* what) {
  const std::string forms[] = {secret, HexAsc1(secret)};
  for (const std::string& form : forms) {
    bool sent = false;
    for (const std::string& o : others) sent = sent || Contains(o, form);
    if (sent) continue;
    fuzz::Check(!Contains(trace, form), what, 1);
    fuzz::Check(!Contains(trace, Hex(form)), what, 2);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 || size > 64 * 1024) return 0;
  static const std::string trace = fuzz::ScratchDir() + "/wire.trace";
  fakeserial::Install();
  Draw draw(data, size);
  const int which = data[0] % 5;
  const bool serial = data[1] & 1;
  const int link = serial ? static_cast<int>(fakeserial::kFakeSerialPort) : 0;
  const uint8_t frame = data[2];
  std::vector<std::string> others = fuzz::Replies(data + 3, size - 3);

  // The secrets of this run.
  const std::string key1 = draw.Bytes(8 * (1 + draw.Next() % 3));
  const std::string key2 = draw.Bytes(8 * (1 + draw.Next() % 3));
  const std::string pin = draw.Digits(6 + draw.Next() % 7);
  const std::string block = draw.Bytes(frame & 0x40 ? 16 : 8);
  const std::string account = draw.Digits(12 + draw.Next() % 8);

  // The secret reply, framed as the fuzzer's frame byte says: after a
  // prefix of other bytes (a late answer), cut short (partial), split in
  // two replies (on HID two reports, on serial two releases).
  std::string secretReply;
  if (which == 2) secretReply = pin + (frame & 1 ? "" : "\r");
  if (which >= 3) {
    const char tag = static_cast<char>((frame & 0x40 ? 0x20 : 0x10) ^ (frame & 0x80 ? 0x30 : 0));
    secretReply = "\x02" + HexAsc1(std::string(1, tag) + block) + (frame & 1 ? "" : "\x03");
  }
  if (!secretReply.empty()) {
    if (frame & 2) secretReply = std::string("\x7f\x13", 2) + secretReply;
    if (frame & 4) secretReply.resize(secretReply.size() * ((frame >> 3) & 7) / 8);
    std::vector<std::string> replies = others;
    const size_t at = others.empty() ? 0 : (frame >> 3) % (others.size() + 1);
    if ((frame & 0x20) && secretReply.size() > 1) {
      const size_t half = secretReply.size() / 2;
      replies.insert(replies.begin() + static_cast<long>(at), secretReply.substr(half));
      replies.insert(replies.begin() + static_cast<long>(at), secretReply.substr(0, half));
    } else {
      replies.insert(replies.begin() + static_cast<long>(at), secretReply);
    }
    fakeusb::SetReplies(replies);
    fakeserial::SetReplies(replies, (data[1] >> 1) % 8);
  } else {
    fakeusb::SetReplies(others);
    fakeserial::SetReplies(others, (data[1] >> 1) % 8);
  }

  unlink(trace.c_str());
  SetDebugPath(trace.c_str());
  SetDebugFlag(1);
  int rc = 0;
  switch (which) {
    case 0: {
      std::string t1 = Hex(key1, data[1] & 0x10), t2 = Hex(key2, data[1] & 0x20);
      rc = TLX_UpdateMKey(link, 0, 9600, frame % 16, &t1[0], &t2[0]);
      break;
    }
    case 1: {
      std::string t = Hex(key1, data[1] & 0x10);
      rc = TLX_DownLoadWKey(link, 0, 9600, frame % 16, (frame >> 4) % 16, &t[0]);
      break;
    }
    case 2: {
      char out[64] = {0};
      rc = TLX_ReadPin(link, 0, 9600, frame & 0x80 ? 1 : 0, 0, 1, out, sizeof out);
      break;
    }
    case 3: {
      char out[TLX_PIN_BLOCK_SIZE] = {0};
      rc = TLX_ReadPinDES(link, 0, 9600, 0, (frame >> 6) & 3, 1, out);
      break;
    }
    case 4: {
      char out[TLX_PIN_BLOCK_SIZE] = {0};
      std::string acc = account;
      rc = TLX_ReadPinAnsi(link, 0, 9600, 0, (frame >> 6) & 3, 1, &acc[0], out);
      break;
    }
  }
  SetDebugFlag(0);
  fuzz::Check(rc <= 0 && rc >= -10, "result in the documented set", rc);

  const std::string text = ReadAll(trace);
  fuzz::Check(!text.empty(), "the trace holds the exchange", rc);
  switch (which) {
    case 0:
      CheckAbsent(text, key1, others, "master key 1 in the trace");
      CheckAbsent(text, key2, others, "master key 2 in the trace");
      break;
    case 1:
      CheckAbsent(text, key1, others, "work key in the trace");
      break;
    case 2:
      CheckAbsent(text, pin, others, "PIN in the trace");
      break;
    case 4:
      CheckAbsent(text, account, others, "account number in the trace");
      [[fallthrough]];
    case 3:
      CheckAbsent(text, block, others, "PIN block in the trace");
      CheckAbsent(text, Hex(block), others, "PIN block text in the trace");
      break;
  }
  return 0;
}
