// Texts shown on the terminal are GBK; the programs convert the UTF-8 of
// their widgets and files before calling the library.
#ifndef TLX_GBK_TEXT_H
#define TLX_GBK_TEXT_H

#include <QByteArray>
#include <QString>

// The GBK bytes of text (its UTF-8 form decoded with the codec "UTF-8" and
// encoded with the codec "gbk"). A character GBK has no code for becomes
// '?'. Without a "gbk" codec in this Qt the UTF-8 bytes are returned.
QByteArray ToGbk(const QString& text);

#endif
