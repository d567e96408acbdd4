// Turns an output buffer of the library into text without reading past its
// end: the text stops at the first NUL or at the buffer's last byte,
// whichever comes first, so an unterminated buffer that the library filled
// completely is still read safely.
#ifndef BUFFERTEXT_H
#define BUFFERTEXT_H

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstring>

inline QByteArray BufferBytes(const char* buffer, std::size_t size) {
  const void* nul = std::memchr(buffer, '\0', size);
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : size;
  return QByteArray(buffer, static_cast<int>(length));
}

inline QString BufferText(const char* buffer, std::size_t size) {
  return QString::fromUtf8(BufferBytes(buffer, size));
}

template <std::size_t N>
QString BufferText(const char (&buffer)[N]) {
  return BufferText(buffer, N);
}

#endif
