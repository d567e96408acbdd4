// String and file-name helpers: splitting, base and extension names, the
// temporary path, the letters-and-digits test, the destination names of
// downloads and the serial device path from a TLX_SERIAL_PATH pattern.
// Areas without a size argument are as long as the text (the callers size
// them for the path they pass).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "compat/CDevice.h"
#include "compat/transfer_steps.h"
#include "compat/util.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 4096) return 0;
  const int selector = data[0];
  const std::string all(reinterpret_cast<const char*>(data + 1), size - 1);
  // First part: the text; after the first TAB: a pattern or delimiter.
  const size_t tab = all.find('\t');
  const std::string text = all.substr(0, tab);
  const std::string other = tab == std::string::npos ? "" : all.substr(tab + 1);
  std::unique_ptr<char[]> src = fuzz::Text(text.data(), text.size());
  const size_t textLen = std::strlen(src.get());

  std::unique_ptr<char[]> pattern = fuzz::Text(other.data(), other.size());
  std::unique_ptr<char[]> part = fuzz::Exact(textLen + 1);
  char* rest = SplitData(src.get(), part.get(), pattern.get());
  fuzz::Check(rest >= src.get() && rest <= src.get() + textLen, "SplitData stays in the text");

  std::unique_ptr<char[]> name = fuzz::Exact(textLen + 1);
  GetFileName(src.get(), name.get());
  std::unique_ptr<char[]> ext = fuzz::Exact(textLen + 1);
  GetFileExtendName(src.get(), ext.get());

  const int tmpSize = selector % 300;
  std::unique_ptr<char[]> tmp = fuzz::Exact(static_cast<size_t>(tmpSize));
  GetTmpFile(src.get(), tmp.get(), tmpSize);
  IsNumberOrCharacter(src.get());

  std::vector<std::string> parts;
  const int count = SplitString(text, parts, other);
  fuzz::Check(count == static_cast<int>(parts.size()), "SplitString count", count);

  const char* dest = nullptr;
  const int mediaType = selector & 1 ? 255 : selector % 5;
  if (tlx::SerialDestName(mediaType, src.get(), pattern.get(), &dest))
    fuzz::Check(dest != nullptr && std::strlen(dest) <= kMaxDestName, "serial name fits");
  if (tlx::HidDestName(mediaType, src.get(), pattern.get(), &dest))
    fuzz::Check(dest != nullptr && std::strlen(dest) <= kMaxDestName, "HID name fits");

  setenv("TLX_SERIAL_PATH", src.get(), 1);
  const int cap = 1 + selector % 64;
  std::unique_ptr<char[]> path = fuzz::Exact(static_cast<size_t>(cap));
  if (SerialDevicePath(1 + selector % 8, path.get(), cap))
    fuzz::Check(std::memchr(path.get(), 0, static_cast<size_t>(cap)) != nullptr,
                "device path terminated");
  return 0;
}
