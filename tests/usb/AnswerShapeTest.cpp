// How answers are cut into IN transfers for each shape.
#include <gtest/gtest.h>

#include "AnswerShape.h"

namespace tlxsim {
namespace {

std::string Bytes(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

TEST(AnswerShape, ShortKeepsAnswersAsTheyStandAndClosesWholePackets) {
  const auto three = ShapeAnswer("\x02\xaa\x03", AnswerShape::Short, 512);
  ASSERT_EQ(1u, three.size());
  EXPECT_EQ("\x02\xaa\x03", three[0]);
  // 3000 bytes: two full reports and a short rest; nothing else needed.
  const auto pull = ShapeAnswer(Bytes(3000), AnswerShape::Short, 512);
  ASSERT_EQ(3u, pull.size());
  EXPECT_EQ(1024u, pull[0].size());
  EXPECT_EQ(952u, pull[2].size());
  EXPECT_EQ(Bytes(3000), pull[0] + pull[1] + pull[2]);
  // Exactly one packet: a zero-length packet ends the host's transfer.
  const auto packet = ShapeAnswer(Bytes(512), AnswerShape::Short, 512);
  ASSERT_EQ(2u, packet.size());
  EXPECT_EQ(512u, packet[0].size());
  EXPECT_TRUE(packet[1].empty());
  // 1536 bytes: a full report, then one packet and its zero-length packet.
  const auto tail = ShapeAnswer(Bytes(1536), AnswerShape::Short, 512);
  ASSERT_EQ(3u, tail.size());
  EXPECT_EQ(512u, tail[1].size());
  EXPECT_TRUE(tail[2].empty());
  // At full speed 64-byte packets: 128 bytes need one too, 100 do not.
  EXPECT_EQ(2u, ShapeAnswer(Bytes(128), AnswerShape::Short, 64).size());
  EXPECT_EQ(1u, ShapeAnswer(Bytes(100), AnswerShape::Short, 64).size());
  EXPECT_EQ(1u, ShapeAnswer(Bytes(1024), AnswerShape::Short, 64).size());
}

TEST(AnswerShape, PaddedGivesWholeReports) {
  const auto one = ShapeAnswer("\x02\xaa\x03", AnswerShape::Padded, 512);
  ASSERT_EQ(1u, one.size());
  EXPECT_EQ(1024u, one[0].size());
  EXPECT_EQ(std::string("\x02\xaa\x03") + std::string(1021, '\0'), one[0]);
  const auto pull = ShapeAnswer(Bytes(2049), AnswerShape::Padded, 512);
  ASSERT_EQ(3u, pull.size());
  for (const auto& r : pull) EXPECT_EQ(1024u, r.size());
  EXPECT_EQ(Bytes(2049), (pull[0] + pull[1] + pull[2]).substr(0, 2049));
  EXPECT_EQ(std::string(1023, '\0'), pull[2].substr(1));
}

TEST(AnswerShape, PacketGivesOnePacketPiecesWithoutZeroLengthPackets) {
  const auto one = ShapeAnswer("\x02\xaa\x03", AnswerShape::Packet, 512);
  ASSERT_EQ(1u, one.size());
  EXPECT_EQ(512u, one[0].size());
  const auto three = ShapeAnswer(Bytes(1100), AnswerShape::Packet, 512);
  ASSERT_EQ(3u, three.size());
  for (const auto& p : three) EXPECT_EQ(512u, p.size());
  EXPECT_EQ(Bytes(1100), (three[0] + three[1] + three[2]).substr(0, 1100));
}

TEST(AnswerShape, EmptyAnswerSendsNothingAndNamesParse) {
  for (AnswerShape s : {AnswerShape::Short, AnswerShape::Padded, AnswerShape::Packet}) {
    EXPECT_TRUE(ShapeAnswer("", s, 512).empty());
    AnswerShape back = AnswerShape::Short;
    ASSERT_TRUE(ParseAnswerShape(AnswerShapeName(s), &back));
    EXPECT_EQ(s, back);
  }
  AnswerShape unchanged = AnswerShape::Padded;
  EXPECT_FALSE(ParseAnswerShape("Short", &unchanged));
  EXPECT_FALSE(ParseAnswerShape("", &unchanged));
  EXPECT_EQ(AnswerShape::Padded, unchanged);
}

}  // namespace
}  // namespace tlxsim
