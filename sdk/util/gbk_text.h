// GBK text, one character at a time, by the library's tables: the one
// decoder behind ANSIToUTF8 and every other reader of terminal texts, and
// the encoder that finds a character's two-byte code.
//
// A byte up to 0x80 stands for itself. A byte above 0x80 leads a two-byte
// code (lead byte high); the codes 0x8140..0xFE9F are looked up in
// unicodeTables, where 0 marks a code with no character.
#ifndef TLX_GBK_TEXT_H
#define TLX_GBK_TEXT_H

#include <cstddef>

namespace tlx {

struct GbkChar {
  enum Kind {
    Single,      // one byte up to 0x80: `unit` is its value
    Pair,        // a two-byte code with a character: `unit`
    Unassigned,  // a two-byte code of the table without a character
    OutOfRange,  // a two-byte code outside the table
    Truncated,   // a lead byte with nothing after it
  };
  Kind kind;
  unsigned short unit;  // Single and Pair: the 16-bit Unicode unit
  int bytes;            // bytes taken: 1 or 2
};

// Decodes the character at `p`, of which `n` (at least 1) bytes are there.
GbkChar GbkDecode(const unsigned char* p, size_t n);

// Converts NUL-terminated GBK text into 16-bit Unicode units in host byte
// order, at most dstBytes / 2 of them; gives their number. A code outside
// the table gives no unit, an unassigned one the unit 0; a lead byte
// before the terminator ends the text. Null pointers give 0.
int GbkToUnits(const char* src, int dstBytes, char* dst);

// The GBK code of a code point: the byte itself up to 0x7F, else the
// two-byte code (lead byte high), or 0 when there is none. U+0080 has no
// code: a byte 0x80 from the terminal is shown as U+0080, but nothing a
// user types is sent as that byte.
unsigned GbkEncode(unsigned long codePoint);

}  // namespace tlx

#endif
