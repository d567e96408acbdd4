#include "CommandParser.h"
#include "EngineTestUtil.h"

namespace tlxsim {
namespace {

std::vector<ParsedCommand> Parse(CommandParser& p, const std::string& bytes) {
  std::vector<ParsedCommand> out;
  p.Feed(bytes.data(), bytes.size(), &out);
  return out;
}

// Every command form, back to back.
const std::string kStream = std::string("\x1b%B") + "\x1b[0CHECKR40" +
                            "\x1b[0SETVOLUME\x02"
                            "3|15\x03" +
                            "\x1b[1;6L" +
                            "\x1b[1;SETDISP\x02"
                            "1\x03" +
                            "\x1bM0102030405060708090:\r\n" + "\x1bR\r\n" + "\x82" +
                            "\x1b"
                            "F02\r\n" +
                            "\x1bI01123456\r\n" + "\x1bGM\r\n" +
                            "\x1b"
                            "FA\r\n" +
                            "\x83" + "\x1b[2C" +
                            "\x1b[2HANDSIGN\x02"
                            "3|30\x03" +
                            "\x1b[4R" + "\x1b[0;NERIVAX_PRODUCTION_START_PQCR" + "\x1b%A";

const std::vector<std::string> kExpected = {"\x1b%B",
                                            "\x1b[0CHECKR40",
                                            "\x1b[0SETVOLUME\x02"
                                            "3|15\x03",
                                            "\x1b[1;6L",
                                            "\x1b[1;SETDISP\x02"
                                            "1\x03",
                                            "\x1bM0102030405060708090:\r\n",
                                            "\x1bR\r\n",
                                            "\x82",
                                            "\x1b"
                                            "F02\r\n",
                                            "\x1bI01123456\r\n",
                                            "\x1bGM\r\n",
                                            "\x1b"
                                            "FA\r\n",
                                            "\x83",
                                            "\x1b[2C",
                                            "\x1b[2HANDSIGN\x02"
                                            "3|30\x03",
                                            "\x1b[4R",
                                            "\x1b[0;NERIVAX_PRODUCTION_START_PQCR",
                                            "\x1b%A"};

std::vector<std::string> Raws(const std::vector<ParsedCommand>& cmds) {
  std::vector<std::string> r;
  for (const auto& c : cmds) r.push_back(c.raw);
  return r;
}

TEST(CommandParser, MergedCommandsSplitAtTheirEnds) {
  CommandParser p(false);
  EXPECT_EQ(Raws(Parse(p, kStream)), kExpected);
}

TEST(CommandParser, ByteByByteGivesTheSameCommands) {
  CommandParser p(false);
  std::vector<ParsedCommand> all;
  for (char ch : kStream) p.Feed(&ch, 1, &all);
  EXPECT_EQ(Raws(all), kExpected);
}

TEST(CommandParser, EverySplitPointGivesTheSameCommands) {
  for (size_t cut = 1; cut < kStream.size(); ++cut) {
    CommandParser p(false);
    std::vector<ParsedCommand> all;
    p.Feed(kStream.data(), cut, &all);
    p.Feed(kStream.data() + cut, kStream.size() - cut, &all);
    ASSERT_EQ(Raws(all), kExpected) << "cut at " << cut;
  }
}

TEST(CommandParser, FieldsValuesAndKeywords) {
  CommandParser p(false);
  auto c = Parse(p,
                 "\x1b[2;45T\x1b[0DOWNLOAD\x02"
                 "4|update.dat|0123\x03\x1b"
                 "F13\r\n");
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].module, 2);
  EXPECT_TRUE(c[0].hasValue);
  EXPECT_EQ(c[0].value, 45);
  EXPECT_EQ(c[0].keyword, "T");
  EXPECT_EQ(c[1].keyword, "DOWNLOAD");
  EXPECT_EQ(c[1].fields, "4|update.dat|0123");
  EXPECT_EQ(c[2].kind, ParsedCommand::Kind::Line);
  EXPECT_EQ(c[2].keyword, "F");
  EXPECT_EQ(c[2].fields, "13");
}

TEST(CommandParser, HidPaddingAndPacketsSpanningReports) {
  CommandParser p(true);
  std::string payload(3000, '\0');
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7);
  std::string packet = std::string("\x02\x02\x00\x00\x0b\xb8", 6) + payload;
  std::string stream = std::string("\x1b[0HIDCHANGE") + std::string(1012, '\0') +
                       std::string("\x02\x01\x00\x00\x00\x00\x00", 7) + std::string(1017, '\0') +
                       packet + std::string(4096 - packet.size(), '\0');
  std::vector<ParsedCommand> all;
  for (size_t off = 0; off < stream.size(); off += 1024) p.Feed(stream.data() + off, 1024, &all);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].keyword, "HIDCHANGE");
  EXPECT_EQ(all[1].kind, ParsedCommand::Kind::Packet);
  EXPECT_EQ(all[1].packetType, 1);
  EXPECT_TRUE(all[1].payload.empty());
  EXPECT_EQ(all[2].packetType, 2);
  EXPECT_EQ(all[2].payload, payload);  // zero bytes inside a packet are data
}

TEST(CommandParser, OverlongPacketAndNoise) {
  CommandParser p(true);
  auto c = Parse(p, std::string("xy\x02\x02\x00\x0f\xff\xff", 8));
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].kind, ParsedCommand::Kind::Noise);
  EXPECT_EQ(c[0].raw, "xy");
  EXPECT_TRUE(c[1].packetTooLong);
  auto d = Parse(p, "\x1b[9ZZZ\x1b[0RESTART");
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].kind, ParsedCommand::Kind::Noise);
  EXPECT_EQ(d[1].keyword, "RESTART");
}

TEST(CommandParser, SerialStreamHasNoPackets) {
  CommandParser p(false);
  auto c = Parse(p, std::string("\x02\x01\x00\x00\x00\x00\x1b[0RESTART", 16));
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].kind, ParsedCommand::Kind::Noise);
  EXPECT_EQ(c[1].keyword, "RESTART");
}

}  // namespace
}  // namespace tlxsim
