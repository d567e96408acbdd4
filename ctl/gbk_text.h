// Texts shown on the terminal are GBK; tlxctl takes UTF-8 (the locale of
// every shell it runs in) and converts with the library's own GBK decoder
// and tables (util/gbk_text.h), so that it reads a text as the library does.
#ifndef TLXCTL_GBK_TEXT_H
#define TLXCTL_GBK_TEXT_H

#include <string>

namespace tlxctl {

// UTF-8 -> GBK. False when the input is not UTF-8 or a character has no
// GBK code; *problem then says which.
bool Utf8ToGbk(const std::string& in, std::string* out, std::string* problem);
// GBK -> UTF-8 (for showing terminal texts); a two-byte code without a
// character, and a lead byte at the end, become U+FFFD.
std::string GbkToUtf8(const std::string& in);

}  // namespace tlxctl

#endif
