// Long host writes: a serial download sends commands of about 1060 bytes, a
// HID download sends packets that span several 1024-byte reports (the last
// one zero-padded). The terminal must store exactly the bytes sent.
#include <gtest/gtest.h>

#include <mutex>
#include <random>
#include <vector>

#include "EngineState.h"
#include "LinkTestSupport.h"
#include "SimTest.h"
#include "compat/transfer.h"

using namespace linktest;

namespace {

class DownloadOverLinksTest : public tlxsim::SimTest {
 protected:
  int Download(int port, const std::string& bytes, const char* name) {
    std::string data = bytes;
    std::string dest = name;
    return DownLoadData(port, 0, 9600, 255, data.data(), static_cast<int>(data.size()),
                        dest.data());
  }

  std::string Stored(const char* name) { return StoredFile(engine(), name); }
};

// The block command as the host builds it: parameter record (total and
// remaining blocks, little endian; data; XOR of all before) in HexAsc1 form.
std::string BlockCommand(const std::string& name, int total, int number, const std::string& data) {
  std::string rec;
  for (int v : {total, total - number})
    for (int i = 0; i < 4; ++i) rec += static_cast<char>((v >> (8 * i)) & 0xff);
  rec += data;
  char x = 0;
  for (char c : rec) x ^= c;
  rec += x;
  std::string text;
  for (unsigned char c : rec) {
    text += static_cast<char>(0x30 + (c >> 4));
    text += static_cast<char>(0x30 + (c & 0x0f));
  }
  return "\x1b[0DOWNLOAD\x02"
         "255|" +
         name + "|" + text + "\x03";
}

TEST_F(DownloadOverLinksTest, SerialBlocksArriveByteExact) {
  const std::string sent = RandomBytes(1500);  // three blocks: 512, 512, 476
  ASSERT_EQ(0, Download(SerialPort(), sent, "serial.bin"));
  EXPECT_EQ(sent, Stored("serial.bin"));
  std::vector<std::string> blocks;
  for (const auto& r : History())
    if (r.bytes.compare(0, 11, "\x1b[0DOWNLOAD") == 0) blocks.push_back(r.bytes);
  ASSERT_EQ(3u, blocks.size());
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(BlockCommand("serial.bin", 3, i + 1, sent.substr(512 * i, 512)), blocks[i])
        << "block " << i + 1;
}

TEST_F(DownloadOverLinksTest, HidPacketsSpanningReportsArriveByteExact) {
  const std::string sent = RandomBytes(5000);  // one data packet over five reports
  ASSERT_EQ(0, Download(kHidPort, sent, "hid.bin"));
  EXPECT_EQ(sent, Stored("hid.bin"));
}

}  // namespace
