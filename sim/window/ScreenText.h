// Texts as the terminal's screen shows them: the host sends GBK; documents
// come as UTF-8 or GBK.
#ifndef TLXSIM_SCREENTEXT_H
#define TLXSIM_SCREENTEXT_H

#include <QByteArray>
#include <QString>

#include <string>

QString FromGbk(const std::string& bytes);
// UTF-8 when the bytes are valid UTF-8, else GBK.
QString DocumentText(const QByteArray& bytes);

#endif
