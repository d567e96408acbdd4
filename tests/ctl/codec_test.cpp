// The codec that libtlxdev and tlxctl share: trace lines written by the
// library's writer parse back to the same fields; fixed lines and records
// parse as the wire trace writes them; every secret command and reply is
// masked byte for byte, and tlxctl's decoder reads the masked and the
// unmasked bytes alike without showing a secret; GBK text reads the same
// through ANSIToUTF8 and through tlxctl (the byte 0x80 among it).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "compat/util.h"
#include "gbk_text.h"
#include "trace/command_table.h"
#include "trace/trace_lines.h"
#include "trace/wire_mask.h"
#include "util/gbk_text.h"
#include "wire_names.h"

namespace {

// Lines a writer puts into a FILE, split at LF (each keeps its CR).
std::vector<std::string> Written(void (*write)(std::FILE*)) {
  std::FILE* f = std::tmpfile();
  EXPECT_NE(f, nullptr);
  if (f == nullptr) return {};
  write(f);
  std::rewind(f);
  std::vector<std::string> lines;
  std::string line;
  for (int c; (c = std::fgetc(f)) != EOF;) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += static_cast<char>(c);
    }
  }
  EXPECT_TRUE(line.empty()) << "a line without LF";
  std::fclose(f);
  return lines;
}

std::string AllBytes() {
  std::string s;
  for (int i = 0; i < 600; ++i) s += static_cast<char>(i & 0xFF);
  return s;
}

TEST(TraceLines, WrittenLinesParseBackToTheirFields) {
  const std::vector<std::string> lines = Written([](std::FILE* f) {
    tlx::WriteTraceMessage(f, "TLX exchange usb port=0 until=ETX limit=2000ms");
    // More than one chunk of digits, every byte value.
    const std::string bytes = AllBytes();
    tlx::WriteTraceHex(f, "RX-PART", bytes.data(), static_cast<int>(bytes.size()));
    tlx::WriteTraceHex(f, nullptr, "\x00\xAB\x7F", 3);
    tlx::WriteTraceHex(f, nullptr, nullptr, 0);
  });
  ASSERT_EQ(lines.size(), 4u);
  for (const std::string& l : lines) {
    ASSERT_GE(l.size(), 16u);
    EXPECT_EQ(l.find_first_not_of("0123456789"), 13u) << l;
    EXPECT_EQ(l.compare(13, 2, "  "), 0) << l;
    EXPECT_EQ(l.back(), '\r');
  }
  EXPECT_EQ(lines[2].substr(15), "LEN=3   HEX: 00AB7F\r");
  EXPECT_EQ(lines[3].substr(15), "LEN=0   HEX: \r");

  tlx::TraceLine t;
  ASSERT_TRUE(tlx::ParseTraceLine(lines[0], &t));
  EXPECT_FALSE(t.hex);
  EXPECT_EQ(t.stamp, lines[0].substr(0, 13));
  EXPECT_EQ(t.text, "TLX exchange usb port=0 until=ETX limit=2000ms");
  ASSERT_TRUE(tlx::ParseTraceLine(lines[1], &t));
  EXPECT_TRUE(t.hex);
  EXPECT_EQ(t.title, "RX-PART");
  EXPECT_EQ(t.declaredLength, 600);
  EXPECT_EQ(t.bytes, AllBytes());
  ASSERT_TRUE(tlx::ParseTraceLine(lines[2], &t));
  EXPECT_EQ(t.title, "");
  EXPECT_EQ(t.bytes, std::string("\x00\xAB\x7F", 3));
  ASSERT_TRUE(tlx::ParseTraceLine(lines[3], &t));
  EXPECT_TRUE(t.hex);
  EXPECT_EQ(t.declaredLength, 0);
  EXPECT_EQ(t.bytes, "");
}

TEST(TraceLines, FixedLinesParseAsWritten) {
  tlx::TraceLine t;
  ASSERT_TRUE(tlx::ParseTraceLine("1206180542123  RX  LEN=3   HEX: 00ab7F\r", &t));
  EXPECT_EQ(t.stamp, "1206180542123");
  EXPECT_TRUE(t.hex);
  EXPECT_EQ(t.title, "RX");
  EXPECT_EQ(t.bytes, std::string("\x00\xAB\x7F", 3));
  // Digits that are not whole bytes, or not hex: a message.
  ASSERT_TRUE(tlx::ParseTraceLine("1206180542123  RX  LEN=2   HEX: 0AB", &t));
  EXPECT_FALSE(t.hex);
  EXPECT_EQ(t.text, "RX  LEN=2   HEX: 0AB");
  ASSERT_TRUE(tlx::ParseTraceLine("1206180542123  TX  LEN=1   HEX: 0G", &t));
  EXPECT_FALSE(t.hex);
  // A title needs its two spaces.
  ASSERT_TRUE(tlx::ParseTraceLine("1206180542123  TX LEN=1   HEX: 00", &t));
  EXPECT_FALSE(t.hex);
  ASSERT_TRUE(tlx::ParseTraceLine("1206180542123  ", &t));
  EXPECT_EQ(t.text, "");
  EXPECT_FALSE(tlx::ParseTraceLine("120618054212  x", &t));  // 12 digits
  EXPECT_FALSE(tlx::ParseTraceLine("12061805421x3  x", &t));
  EXPECT_FALSE(tlx::ParseTraceLine("1206180542123 x", &t));
}

TEST(TraceLines, RecordsAreGroupedAsTheWireTraceWritesThem) {
  const std::string s = "1208064149441  ";
  std::istringstream in(
      s + "TLX exchange serial port=2 dev=/dev/ttyS1 bp=B baud=115200 until=F limit=7000ms\r\n" +
      s + "TX  LEN=2   HEX: 1B52\r\n" + s + "RX-PART  LEN=1   HEX: AA\r\n" + s +
      "TLX end=timeout result=-2 (no complete reply in time) time=1.5ms masked=4\r\n" + "\r\n" + s +
      "TLX write usb port=0 id=2fb0:0101\r\n" + s + "TX-SHORT  LEN=1   HEX: 02\r\n" +
      // A second TX is no part of the record: the record stays open no
      // longer, and the line is a note of its own.
      s + "TX  LEN=1   HEX: 03\r\n" + s + "TLX end=written result=0 (success)\r\n" + "garbage\r\n" +
      s + "TLX read port until=none limit=0ms\r\n" + s + "TLX exchanged nothing\r\n");
  int bad = -1;
  const std::vector<tlx::TraceRecord> r = tlx::ReadTrace(in, &bad);
  EXPECT_EQ(bad, 1);
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[0].kind, "exchange");
  EXPECT_EQ(r[0].linkKind, "serial");
  EXPECT_EQ(r[0].fields.at("dev"), "/dev/ttyS1");
  EXPECT_EQ(r[0].fields.at("bp"), "B");
  EXPECT_EQ(r[0].fields.at("limit"), "7000ms");
  EXPECT_EQ(r[0].tx.title, "TX");
  EXPECT_EQ(r[0].tx.bytes, "\x1bR");
  EXPECT_EQ(r[0].rx.title, "RX-PART");
  EXPECT_EQ(r[0].rx.bytes, "\xaa");
  EXPECT_TRUE(r[0].ended);
  EXPECT_EQ(r[0].end.at("end"), "timeout");
  EXPECT_EQ(r[0].end.at("result"), "-2");
  EXPECT_EQ(r[0].end.at("masked"), "4");
  EXPECT_EQ(r[1].kind, "write");
  EXPECT_EQ(r[1].fields.at("id"), "2fb0:0101");
  EXPECT_EQ(r[1].tx.title, "TX-SHORT");
  EXPECT_FALSE(r[1].rx.present);
  EXPECT_FALSE(r[1].ended);
  EXPECT_EQ(r[2].kind, "note");
  EXPECT_EQ(r[2].line.title, "TX");
  EXPECT_EQ(r[3].kind, "note");
  EXPECT_EQ(r[3].line.text, "TLX end=written result=0 (success)");
  EXPECT_EQ(r[4].kind, "read");
  EXPECT_EQ(r[4].linkKind, "port");
  EXPECT_FALSE(r[4].ended);
  EXPECT_EQ(r[5].kind, "note");
}

struct Masking {
  std::string text;
  tlx::ReplySecret reply;
  int masked;
};

Masking MaskCommand(const std::string& cmd) {
  Masking m{"", tlx::ReplySecret::None, 0};
  m.text = tlx::MaskedCommand(cmd.data(), static_cast<int>(cmd.size()), &m.reply, &m.masked);
  return m;
}

TEST(WireMask, SecretCommandsAreMaskedByteForByte) {
  const std::string keys(32, '5');
  Masking m = MaskCommand("\x1bM07" + keys + "\r\n");
  EXPECT_EQ(m.text, "\x1bM07" + std::string(32, '*') + "\r\n");
  EXPECT_EQ(m.masked, 32);
  EXPECT_EQ(m.reply, tlx::ReplySecret::None);
  m = MaskCommand("\x1bS0102" + keys + "\r\n");
  EXPECT_EQ(m.text, "\x1bS0102" + std::string(32, '*') + "\r\n");
  EXPECT_EQ(m.masked, 32);
  m = MaskCommand("\x1bI016222020200112233445\r\n");
  EXPECT_EQ(m.text, "\x1bI01" + std::string(19, '*') + "\r\n");
  EXPECT_EQ(m.reply, tlx::ReplySecret::PinBlock);
  // Without CR LF the secret runs to the end; an account left out hides
  // nothing but the reply is still a PIN block.
  m = MaskCommand("\x1bM07" + keys);
  EXPECT_EQ(m.text, "\x1bM07" + std::string(32, '*'));
  m = MaskCommand("\x1bI0\r\n");
  EXPECT_EQ(m.text, "\x1bI0\r\n");
  EXPECT_EQ(m.masked, 0);
  EXPECT_EQ(m.reply, tlx::ReplySecret::PinBlock);

  struct {
    std::string cmd;
    tlx::ReplySecret reply;
  } const replies[] = {
      {"\x1b"
       "F01\r\n",
       tlx::ReplySecret::PinBlock},
      // Prompt and option the terminal would refuse: the reply is still
      // taken for a PIN block, as tlxctl reads it.
      {"\x1b"
       "Fxy\r\n",
       tlx::ReplySecret::PinBlock},
      {"\x1b"
       "FA\r\n",
       tlx::ReplySecret::KeypadEntry},
      {"\x1bGM\r\n", tlx::ReplySecret::KeypadEntry},
      {"\x82", tlx::ReplySecret::PlainPin},
      {"\x81", tlx::ReplySecret::PlainPin},
      {"\x1b[0PULLFILE\x02/tmp/hw.png\x03", tlx::ReplySecret::PulledFile},
      {"\x1b[0RESPONSE\x02"
       "0\x03",
       tlx::ReplySecret::PulledFile},
      {"\x83", tlx::ReplySecret::None},
      {"\x1b"
       "F",
       tlx::ReplySecret::None},
      {"\x1b[0CHECKR40", tlx::ReplySecret::None},
      {"\x1b[2A\x02"
       "3132\x03",
       tlx::ReplySecret::None},
      {"\x1b"
       "A0102\r\n",
       tlx::ReplySecret::None},
  };
  for (const auto& c : replies) {
    m = MaskCommand(c.cmd);
    EXPECT_EQ(m.reply, c.reply) << tlxctl::Printable(c.cmd);
    EXPECT_EQ(m.text, c.cmd);
    EXPECT_EQ(m.masked, 0);
  }
}

std::string MaskReply(tlx::ReplySecret kind, const std::string& r, int* masked, bool head = true) {
  *masked = 0;
  return tlx::MaskedReply(kind, r.data(), static_cast<int>(r.size()), masked, head);
}

TEST(WireMask, SecretRepliesKeepOnlyTheirFrame) {
  using tlx::ReplySecret;
  int n = 0;
  EXPECT_EQ(MaskReply(ReplySecret::PinBlock,
                      "\x02"
                      "12"
                      "3456789:\x03",
                      &n),
            "\x02"
            "12********\x03");
  EXPECT_EQ(n, 8);
  EXPECT_EQ(MaskReply(ReplySecret::PinBlock,
                      "\x02"
                      "12"
                      "3456",
                      &n),
            "\x02"
            "12****");
  EXPECT_EQ(MaskReply(ReplySecret::PinBlock, "x123", &n), "****");
  EXPECT_EQ(MaskReply(ReplySecret::PinBlock, "\x02U\x03", &n), "\x02U\x03");
  EXPECT_EQ(MaskReply(ReplySecret::PlainPin, "123456\r", &n), "******\r");
  EXPECT_EQ(MaskReply(ReplySecret::PlainPin, "1234", &n), "****");
  EXPECT_EQ(MaskReply(ReplySecret::KeypadEntry, "A1380013F", &n), "A*******F");
  EXPECT_EQ(n, 7);
  EXPECT_EQ(MaskReply(ReplySecret::KeypadEntry, "A138", &n), "****");
  const std::string packet(
      "\x02\x02\x5A\x00\x00\x04"
      "data",
      10);
  EXPECT_EQ(MaskReply(ReplySecret::PulledFile, packet, &n), packet.substr(0, 6) + "****");
  EXPECT_EQ(MaskReply(ReplySecret::PulledFile, packet, &n, false), std::string(10, '*'));
  EXPECT_EQ(MaskReply(ReplySecret::PulledFile, "\x02U\x03", &n), "\x02U\x03");
  EXPECT_EQ(n, 0);
  EXPECT_EQ(MaskReply(ReplySecret::None, "\x02\xaa\x03", &n), "\x02\xaa\x03");
}

// The decoder and the masking read one table: a secret command is
// described the same whether or not the trace masked it, and never shows
// what it hides.
TEST(WireMask, DecoderReadsMaskedAndPlainCommandsAlike) {
  const std::string secrets[] = {
      "\x1bM07" + std::string("0123456789ABCDEF0123456789ABCDEF") + "\r\n",
      "\x1bS0102" + std::string("FEDCBA9876543210") + "\r\n",
      "\x1bI016222020200112233445\r\n",
  };
  const char* const expected[] = {
      "load master key 7: keys: 16 bytes (not shown)",
      "load work key 2 under master key 1: key: 8 bytes (not shown)",
      "PIN block entry with account: voice prompt 0, option 1, account: 19 characters (not "
      "shown)",
  };
  for (size_t i = 0; i < 3; ++i) {
    const Masking m = MaskCommand(secrets[i]);
    tlxctl::WireDecoder plain, masked;
    const tlxctl::Described a = plain.Command(secrets[i]);
    const tlxctl::Described b = masked.Command(m.text);
    EXPECT_EQ(a.name + ": " + a.detail, expected[i]);
    EXPECT_EQ(b.name, a.name);
    EXPECT_EQ(b.detail, a.detail);
  }
  // A PIN block reply: the tag is shown, the block by its length only.
  tlxctl::WireDecoder d;
  d.Command(
      "\x1b"
      "F01\r\n");
  const tlxctl::Described r = d.Reply(
      "\x02"
      "12"
      "3456789:\x03");
  EXPECT_EQ(r.name + ": " + r.detail, "PIN block: tag 0x12, 4 bytes (not shown)");
  d.Command("\x82");
  EXPECT_EQ(d.Reply("123456\r").detail, "6 bytes and CR (not shown)");
  d.Command("\x1bGM\r\n");
  EXPECT_EQ(d.Reply("A*****F").detail, "5 characters (not recorded)");
}

struct Units {
  int count;
  std::vector<unsigned short> units;
};

Units Ansi(const char* src) {
  char dst[64] = {0};
  Units u{ANSIToUTF8(src, sizeof dst, dst), {}};
  for (int i = 0; i < u.count; ++i) {
    unsigned short v;
    std::memcpy(&v, dst + 2 * i, 2);
    u.units.push_back(v);
  }
  return u;
}

// The byte 0x80 is no lead byte (the two-byte codes start at 0x8140): it
// is a character of its own, U+0080, for the library and for tlxctl alike.
TEST(GbkText, ByteEightyIsOneCharacterEverywhere) {
  const unsigned char b[] = {0x80, 0x41};
  const tlx::GbkChar c = tlx::GbkDecode(b, 2);
  EXPECT_EQ(c.kind, tlx::GbkChar::Single);
  EXPECT_EQ(c.unit, 0x80);
  EXPECT_EQ(c.bytes, 1);
  const Units u = Ansi(
      "\x80"
      "A\xB0\xA1");
  EXPECT_EQ(u.count, 3);
  EXPECT_EQ(u.units, (std::vector<unsigned short>{0x0080, 0x0041, 0x554A}));
  EXPECT_EQ(tlxctl::GbkToUtf8("\x80"
                              "A\xB0\xA1"),
            "\xC2\x80"
            "A\xE5\x95\x8A");
  // Shown by its code, not sent to the user's terminal as a control.
  EXPECT_EQ(tlxctl::Printable(tlxctl::GbkToUtf8("\x80"
                                                "A"),
                              120, true),
            "\\x80A");
  // Nothing typed becomes the byte 0x80.
  EXPECT_EQ(tlx::GbkEncode(0x80), 0u);
  std::string gbk, why;
  EXPECT_FALSE(tlxctl::Utf8ToGbk("\xC2\x80", &gbk, &why));
  EXPECT_EQ(why, "character U+0080 has no GBK code");
}

// A two-byte code takes both its bytes in tlxctl as in ANSIToUTF8: one
// replacement character for a code without a character, not one for the
// lead byte and the trail byte read again as a character of its own.
TEST(GbkText, BadCodesTakeBothBytes) {
  EXPECT_EQ(Ansi("\x81\x7F"
                 "A")
                .units,
            (std::vector<unsigned short>{0x0000, 0x0041}));
  EXPECT_EQ(tlxctl::GbkToUtf8("\x81\x7F"
                              "A"),
            "\xEF\xBF\xBD"
            "A");
  EXPECT_EQ(Ansi("\xFF\x41"
                 "B")
                .units,
            (std::vector<unsigned short>{0x0042}));
  EXPECT_EQ(tlxctl::GbkToUtf8("\xFF\x41"
                              "B"),
            "\xEF\xBF\xBD"
            "B");
  // A lead byte at the end: the library's text ends there; tlxctl shows it.
  EXPECT_EQ(Ansi("A\xB0").units, (std::vector<unsigned short>{0x0041}));
  EXPECT_EQ(tlxctl::GbkToUtf8("A\xB0"), "A\xEF\xBF\xBD");
}

// What tlxctl encodes (CJK through gbkTables, punctuation and symbols
// through the reverse of unicodeTables) reads back through ANSIToUTF8.
TEST(GbkText, EncodedTextReadsBackThroughTheLibrary) {
  std::string gbk, why;
  ASSERT_TRUE(
      tlxctl::Utf8ToGbk("\xE4\xB8\x80\xE3\x80\x80\xE2\x82\xAC"
                        "1",
                        &gbk, &why))
      << why;
  EXPECT_EQ(gbk,
            "\xD2\xBB\xA1\xA1\xA2\xE3"
            "1");
  EXPECT_EQ(Ansi(gbk.c_str()).units, (std::vector<unsigned short>{0x4E00, 0x3000, 0x20AC, 0x31}));
  EXPECT_FALSE(tlxctl::Utf8ToGbk("\xF0\x9F\x98\x80", &gbk, &why));
  EXPECT_EQ(why, "character U+1F600 has no GBK code");
}

}  // namespace
