#include "ScreenText.h"

#include <QTextCodec>

QString FromGbk(const std::string& bytes) {
  QTextCodec* gbk = QTextCodec::codecForName("GBK");
  const QByteArray raw(bytes.data(), static_cast<int>(bytes.size()));
  return gbk ? gbk->toUnicode(raw) : QString::fromLatin1(raw);
}

QString DocumentText(const QByteArray& bytes) {
  QTextCodec::ConverterState state;
  QTextCodec* utf8 = QTextCodec::codecForName("UTF-8");
  const QString text = utf8->toUnicode(bytes.constData(), bytes.size(), &state);
  if (state.invalidChars == 0) return text;
  return FromGbk(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}
