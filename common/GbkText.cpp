#include "GbkText.h"

#include <QTextCodec>

QByteArray ToGbk(const QString& text) {
  QTextCodec* utf8 = QTextCodec::codecForName("UTF-8");
  QTextCodec* gbk = QTextCodec::codecForName("gbk");
  const QString decoded = utf8->toUnicode(text.toUtf8());
  return gbk ? gbk->fromUnicode(decoded) : decoded.toUtf8();
}
