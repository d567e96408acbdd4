// Texts shown on the terminal are GBK; the pages convert from the UTF-8 of
// their widgets and files before calling the library.
#ifndef GBKTEXT_H
#define GBKTEXT_H

#include <QByteArray>
#include <QString>

QByteArray ToGbk(const QString &text);

#endif // GBKTEXT_H
