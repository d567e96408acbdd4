// Every TLX_ command over the HID link or the serial line (the argument
// byte 7's bit 2), with the terminal's replies taken from the input: JSON of the version and update
// status, acknowledgements, key answers, status answers, PIN replies and blocks, file information
// and lists, download acknowledgements and pulled packets. Output buffers have exactly the sizes
// the header promises, so a byte written past one is caught; every result must be one the header
// documents.
//
// Input: a command selector, eight argument bytes, then framed chunks (see
// fuzz::Replies): the first is the caller's text (key, information, name,
// account), the others are the terminal's replies in order. On the serial
// line (its flush, channel bytes and block acknowledgements) each reply
// comes after the host's next command, in reads of at most (argument byte
// 6 % 8) bytes (0: whole).
#include <unistd.h>

#include <cstdint>

#include "fake_libusb.h"
#include "fake_serial.h"
#include "fuzz_support.h"
#include "tlxdev.h"

namespace {

enum { kCommands = 25, kHid = 0, kBaud = 9600 };

// A value of arg byte b in lo..hi, with the byte's top values one past
// either end, so that the argument checks are reached too.
int Arg(const uint8_t* a, int i, int lo, int hi) {
  const int span = hi - lo + 3;
  return lo - 1 + a[i] % span;
}

const std::string& LocalFile(const char* name, size_t bytes) {
  static std::string paths[2];
  std::string& p = paths[name[0] == 'd' ? 0 : 1];
  if (p.empty()) {
    p = fuzz::ScratchDir() + "/" + name;
    FILE* f = std::fopen(p.c_str(), "wb");
    for (size_t i = 0; f != nullptr && i < bytes; ++i) std::fputc(static_cast<int>(i * 7), f);
    if (f != nullptr) std::fclose(f);
  }
  return p;
}

bool Terminated(const char* s, size_t cap) { return std::memchr(s, 0, cap) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9 || size > 256 * 1024) return 0;
  const int which = data[0] % kCommands;
  const uint8_t* a = data + 1;
  std::vector<std::string> chunks = fuzz::Replies(data + 9, size - 9);
  const std::string text = chunks.empty() ? std::string() : chunks.front();
  if (!chunks.empty()) chunks.erase(chunks.begin());
  fakeserial::Install();
  const bool serial = (a[7] & 4) != 0;
  const int link = serial ? static_cast<int>(fakeserial::kFakeSerialPort) : kHid;
  // The signature goes over USB whatever the port: both doubles play.
  fakeusb::SetReplies(chunks);
  fakeserial::SetReplies(chunks, a[6] % 8);
  std::unique_ptr<char[]> t = fuzz::Text(text.data(), text.size());
  char* txt = a[7] & 1 ? t.get() : nullptr;
  if (txt == nullptr && (a[7] & 2)) txt = t.get();

  int rc = 0;
  bool files = false;  // may give -6 / -8
  switch (which) {
    case 0:
      rc = TLX_SetGlobalConfig(link, 0, kBaud, Arg(a, 0, 1, 5), Arg(a, 1, 1, 2));
      break;
    case 1:
      rc = TLX_StartPQC(link, 0, kBaud);
      break;
    case 2: {
      auto v = fuzz::Exact(TLX_VERSION_SIZE);
      rc = TLX_GetVer(link, 0, kBaud, v.get());
      if (rc == 0) fuzz::Check(Terminated(v.get(), TLX_VERSION_SIZE), "version terminated");
      break;
    }
    case 3: {
      auto r = fuzz::Exact(TLX_UPDATE_TEXT_SIZE), d = fuzz::Exact(TLX_UPDATE_TEXT_SIZE);
      rc = TLX_GetUpdateStatus(link, 0, kBaud, r.get(), d.get());
      if (rc == 0) fuzz::Check(Terminated(r.get(), TLX_UPDATE_TEXT_SIZE), "result terminated");
      break;
    }
    case 4:
      rc = TLX_SetVolume(link, 0, kBaud, Arg(a, 0, 1, 3), Arg(a, 1, 0, 15));
      break;
    case 5:
      rc = TLX_RestartSys(link, 0, kBaud);
      break;
    case 6: {
      auto m = fuzz::Exact(TLX_MODEL_SIZE);
      rc = TLX_CheckOnline(link, 0, kBaud, a[0] & 1 ? m.get() : nullptr);
      break;
    }
    case 7:
      rc = TLX_SetShowDISP(link, 0, kBaud, Arg(a, 0, 1, 4), Arg(a, 1, 0, 1));
      break;
    case 8:
      rc = TLX_SetPinLen(link, 0, kBaud, Arg(a, 0, 4, 14));
      break;
    case 9: {
      std::string half = text.substr(0, text.size() / 2);
      auto k1 = fuzz::Text(half.data(), half.size());
      rc = TLX_UpdateMKey(link, 0, kBaud, Arg(a, 0, 0, 15), txt ? k1.get() : nullptr, t.get());
      break;
    }
    case 10:
      rc = TLX_ResetKey(link, 0, kBaud);
      break;
    case 11:
      rc = TLX_DownLoadWKey(link, 0, kBaud, Arg(a, 0, 0, 15), Arg(a, 1, 0, 15), txt);
      break;
    case 12:
      rc = TLX_ActiveWKey(link, 0, kBaud, Arg(a, 0, 0, 15), Arg(a, 1, 0, 15));
      break;
    case 13: {
      const int pinSize = (a[3] << 8 | a[4]) % 2050 - 1;  // -1..2048
      auto pin = fuzz::Exact(pinSize > 0 ? static_cast<size_t>(pinSize) : 0);
      rc = TLX_ReadPin(link, 0, kBaud, Arg(a, 0, 0, 1), Arg(a, 1, 0, 1), Arg(a, 2, 1, 3),
                       a[5] == 0 ? nullptr : pin.get(), pinSize);
      break;
    }
    case 14: {
      auto block = fuzz::Exact(TLX_PIN_BLOCK_SIZE);
      rc = TLX_ReadPinDES(link, 0, kBaud, Arg(a, 0, 0, 1), Arg(a, 1, 0, 3), Arg(a, 2, 1, 3),
                          block.get());
      if (rc == 0) fuzz::Check(Terminated(block.get(), TLX_PIN_BLOCK_SIZE), "block terminated");
      break;
    }
    case 15: {
      auto block = fuzz::Exact(TLX_PIN_BLOCK_SIZE);
      rc = TLX_ReadPinAnsi(link, 0, kBaud, Arg(a, 0, 0, 1), Arg(a, 1, 0, 3), Arg(a, 2, 1, 3), txt,
                           block.get());
      if (rc == 0) fuzz::Check(Terminated(block.get(), TLX_PIN_BLOCK_SIZE), "block terminated");
      break;
    }
    case 16: {
      int result = -100;
      rc = TLX_StartInfo(link, 0, kBaud, Arg(a, 0, 1, 3), txt, &result);
      if (rc == 0) fuzz::Check(result == 0 || result == 1 || result == 3 || result == 4, "info");
      break;
    }
    case 17: {
      int result = -100;
      char no[] = "100001";
      rc = TLX_StartEvaluator(link, 0, kBaud, txt, no, Arg(a, 0, 0, 6), a[1] & 1 ? txt : nullptr,
                              Arg(a, 2, 1, 3), &result);
      if (rc == 0) fuzz::Check(result == -100 || (result >= 1 && result <= 4), "evaluation");
      break;
    }
    case 18: {
      auto input = fuzz::Exact(TLX_KEYPAD_INPUT_SIZE);
      rc = TLX_StartKeyboard(link, 0, kBaud, Arg(a, 0, 1, 3), Arg(a, 1, 0, 1), input.get());
      if (rc == 0) fuzz::Check(Terminated(input.get(), TLX_KEYPAD_INPUT_SIZE), "keypad input");
      break;
    }
    case 19: {
      files = true;
      const std::string& doc = LocalFile("doc.pdf", 300);
      const std::string image = fuzz::ScratchDir() + "/hw.png";
      const std::string points = fuzz::ScratchDir() + "/hw.xml";
      auto d = fuzz::Text(doc.data(), doc.size());
      auto i = fuzz::Text(image.data(), image.size());
      auto p = fuzz::Text(points.data(), points.size());
      rc = TLX_StartSign(link, 0, kBaud, Arg(a, 0, 1, 3), d.get(), i.get(), p.get());
      if (rc != 0) {
        fuzz::Check(access(points.c_str(), F_OK) != 0, "failed signing left its data file", rc);
      }
      unlink(image.c_str());
      unlink(points.c_str());
      break;
    }
    case 20: {
      files = true;
      const std::string& local = LocalFile("ad.bin", 2500);
      auto p = fuzz::Text(local.data(), local.size());
      rc = TLX_DownLoadFile(link, 0, kBaud, a[0] % 6 == 5 ? 255 : a[0] % 6, p.get());
      break;
    }
    case 21:
      rc = TLX_DeleteFile(link, 0, kBaud, a[0], txt);
      break;
    case 22: {
      auto info = fuzz::Exact(TLX_FILE_INFO_SIZE);
      rc = TLX_FindFileInfo(link, 0, kBaud, a[0], txt, a[1] & 1 ? info.get() : nullptr);
      if (rc == 0 && (a[1] & 1))
        fuzz::Check(Terminated(info.get(), TLX_FILE_INFO_SIZE), "file info terminated");
      break;
    }
    case 23: {
      const int listSize = (a[3] << 8 | a[4]) % 4200 - 1;  // -1..4198
      auto list = fuzz::Exact(listSize > 0 ? static_cast<size_t>(listSize) : 0);
      rc = TLX_GetFileList(link, 0, kBaud, a[0], list.get(), listSize);
      break;
    }
    case 24:
      rc = TLX_CancelRead(link, 0, kBaud);
      fuzz::Check(rc == -7, "idle cancel", rc);
      break;
  }
  fuzz::Check(rc <= 0 && rc >= -10, "result in the documented set", rc);
  if (!files) fuzz::Check(rc != -6 && rc != -8, "file result from a command without files", rc);
  fuzz::Check(rc != -3, "nothing else runs: never -3", rc);
  return 0;
}
