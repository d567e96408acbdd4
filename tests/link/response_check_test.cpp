// The two reply checks on the framings the terminal sends.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "compat/session.h"
#include "compat/util.h"

namespace {

// STX, HexAsc1(tag + data), ETX.
std::string TaggedFrame(unsigned char tag, const std::string& data) {
  std::string payload(1, static_cast<char>(tag));
  payload += data;
  std::vector<char> text(payload.size() * 2);
  HexAsc1Split(&payload[0], static_cast<int>(payload.size()), text.data(),
               static_cast<int>(text.size()));
  return "\x02" + std::string(text.begin(), text.end()) + "\x03";
}

int Check(std::string frame) {
  return CheckAndGetResponse(&frame[0], static_cast<int>(frame.size()));
}

struct Extracted {
  int rc;
  std::string data;
  int outLen;
};

Extracted Extract(std::string frame) {
  char out[1100];
  std::memset(out, '#', sizeof out);
  int outLen = -77;
  const std::string before = frame;
  const int rc =
      CheckAndGetResponse(0x02, 0x03, &frame[0], static_cast<int>(frame.size()), out, &outLen);
  EXPECT_EQ(frame, before) << "the check must not modify its input";
  if (rc != 0) {
    EXPECT_EQ(outLen, -77) << "outLen untouched on failure";
    EXPECT_EQ(out[0], '#') << "out untouched on failure";
    return {rc, "", outLen};
  }
  EXPECT_EQ(out[outLen], '#') << "nothing written past the data";
  return {rc, std::string(out, static_cast<size_t>(outLen)), outLen};
}

}  // namespace

TEST(CheckAndGetResponse, PlainFrame) {
  EXPECT_EQ(Check("\x02U\x03"), TLX_ERR_REPLY) << "negative acknowledgement";
  EXPECT_EQ(Check("\x02"
                  "1A\x03"),
            TLX_OK);
  EXPECT_EQ(Check("\x02\x03"), TLX_OK);
  EXPECT_EQ(Check("\x02\xaa\x03"), TLX_OK);
  EXPECT_EQ(Check("\x02"
                  "1A"),
            TLX_ERR_REPLY)
      << "no ETX";
  EXPECT_EQ(Check("1A\x03"), TLX_ERR_REPLY) << "no STX";
  EXPECT_EQ(Check("\x03"), TLX_ERR_REPLY);
  EXPECT_EQ(Check("\x02"), TLX_ERR_REPLY);
  char one = 0x02;
  EXPECT_EQ(CheckAndGetResponse(&one, 0), TLX_ERR_TIMEOUT) << "no data";
  EXPECT_EQ(CheckAndGetResponse(nullptr, 3), TLX_ERR_TIMEOUT);
  EXPECT_EQ(CheckAndGetResponse(&one, -4), TLX_ERR_TIMEOUT);
}

TEST(CheckAndGetResponse, TaggedFrameSizesMustMatchTheTag) {
  const std::string eight = "\x01\x23\x45\x67\x89\xab\xcd\xef";
  const std::string sixteen = eight + "\xfe\xdc\xba\x98\x76\x54\x32\x10";

  Extracted r = Extract(TaggedFrame(0x10, eight));
  EXPECT_EQ(r.rc, TLX_OK);
  EXPECT_EQ(r.data, eight);
  EXPECT_EQ(r.outLen, 8);

  EXPECT_EQ(Extract(TaggedFrame(0x20, eight)).rc, TLX_ERR_REPLY);
  r = Extract(TaggedFrame(0x20, sixteen));
  EXPECT_EQ(r.rc, TLX_OK);
  EXPECT_EQ(r.data, sixteen);
  EXPECT_EQ(Extract(TaggedFrame(0x10, eight + "\x11")).rc, TLX_ERR_REPLY) << "nine with 0x10";
  EXPECT_EQ(Extract(TaggedFrame(0x20, eight + "\x11")).rc, TLX_OK) << "nine with 0x20";
  EXPECT_EQ(Extract(TaggedFrame(0x30, eight)).rc, TLX_ERR_REPLY) << "unknown tag";

  r = Extract(TaggedFrame(0x10, ""));
  EXPECT_EQ(r.rc, TLX_OK) << "tag alone: no data";
  EXPECT_EQ(r.outLen, 0);
}

TEST(CheckAndGetResponse, TaggedFrameFramingAndLimits) {
  EXPECT_EQ(Extract("\x02\x03").rc, TLX_ERR_REPLY) << "nothing decoded";
  EXPECT_EQ(Extract("\x02").rc, TLX_ERR_REPLY);
  std::string frame = TaggedFrame(0x10, "\x01\x02");
  EXPECT_EQ(Extract(frame.substr(0, frame.size() - 1) + "\x04").rc, TLX_ERR_REPLY) << "tail";
  EXPECT_EQ(Extract("\x01" + frame.substr(1)).rc, TLX_ERR_REPLY) << "head";
  // An odd number of body characters cannot be HexAsc1 form.
  EXPECT_EQ(Extract("\x02"
                    "1001"
                    "2\x03")
                .rc,
            TLX_ERR_REPLY);

  // 1023 data bytes make 2048 body characters: the most accepted.
  const std::string most(1023, '\x5a');
  Extracted r = Extract(TaggedFrame(0x20, most));
  EXPECT_EQ(r.rc, TLX_OK);
  EXPECT_EQ(r.outLen, 1023);
  EXPECT_EQ(Extract(TaggedFrame(0x20, most + "\x5a")).rc, TLX_ERR_REPLY) << "2050 characters";

  std::string good = TaggedFrame(0x10, "\x01");
  int outLen = 0;
  EXPECT_EQ(
      CheckAndGetResponse(0x02, 0x03, &good[0], static_cast<int>(good.size()), nullptr, &outLen),
      TLX_ERR_REPLY);
}

TEST(EndConditions, EachLooksAtTheLastByteOnly) {
  const char data[] = {'\x02', 'x', '\x03', '\r', 'F', 'E'};
  EXPECT_FALSE(EndOfCondition1(data, 2));
  EXPECT_TRUE(EndOfCondition1(data, 3));
  EXPECT_FALSE(EndOfCondition1(data, 4));
  EXPECT_TRUE(MediaEndCondition(data, 3));
  EXPECT_FALSE(MediaEndCondition(data, 5));
  EXPECT_TRUE(EndOfCondition2(data, 4));
  EXPECT_FALSE(EndOfCondition2(data, 3));
  EXPECT_TRUE(EndOfCondition3(data, 5));
  EXPECT_FALSE(EndOfCondition3(data, 6));
  EXPECT_TRUE(EndOfCondition4(data, 1));
  for (EndConditionFn fn :
       {EndOfCondition1, EndOfCondition2, EndOfCondition3, EndOfCondition4, MediaEndCondition}) {
    EXPECT_FALSE(fn(data, 0)) << "no byte yet";
    EXPECT_FALSE(fn(data, -1));
    EXPECT_FALSE(fn(nullptr, 3));
  }
}
