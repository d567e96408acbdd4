// A pull of a file larger than one report: the terminal's packets span
// several IN reports and the host acknowledges each packet; the file must
// arrive intact.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "LinkTestSupport.h"
#include "SimTest.h"
#include "compat/transfer.h"

using namespace linktest;
using tlxsim::Fault;
using tlxsim::FaultKind;

namespace {

class PullOverHidTest : public tlxsim::SimTest {
 protected:
  // Puts a file with `size` pseudo-random bytes on the terminal as
  // terminal path /tmp/pulled.bin.
  std::string PutTerminalFile(size_t size) {
    std::mt19937 rng(size);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    const std::string dir = terminal().storageDir() + "/tmp";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/pulled.bin", std::ios::binary) << bytes;
    return bytes;
  }

  int Pull(const std::string& localPath) {
    std::string cmd = std::string("\x1b[0PULLFILE\x02") + "/tmp/pulled.bin" + "\x03";
    return PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), cmd.data(),
                    const_cast<char*>(localPath.c_str()));
  }

  std::string LocalPath() { return terminal().runDir() + "/local.bin"; }

  static std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  static size_t Responses(const std::vector<tlxsim::Received>& history, char verdict) {
    return Find(history, std::string("\x1b[0RESPONSE\x02") + verdict + "\x03").size();
  }
};

TEST_F(PullOverHidTest, SixThousandBytesArriveIntact) {
  const std::string sent = PutTerminalFile(6000);
  ASSERT_EQ(0, Pull(LocalPath()));
  EXPECT_EQ(sent, ReadAll(LocalPath()));
  // Start, data..., end: each accepted. The last acceptance is written just
  // before the host closes; it may still be on its way.
  EXPECT_TRUE(WaitFor([&] { return Responses(History(), '0') >= 3; }, 2000));
  EXPECT_EQ(0u, Responses(History(), '1'));
}

TEST_F(PullOverHidTest, BadChecksumIsRefusedAndLeavesNoFile) {
  PutTerminalFile(6000);
  SetFault("PULLFILE", Fault{FaultKind::BadPullChecksum, 0, 1});
  EXPECT_EQ(TLX_ERR_REPLY, Pull(LocalPath()));
  EXPECT_FALSE(std::filesystem::exists(LocalPath()));
  EXPECT_TRUE(WaitFor([&] { return Responses(History(), '1') == 1; }, 2000));
}

TEST_F(PullOverHidTest, DeviceVanishingMidTransferLeavesNoFile) {
  PutTerminalFile(6000);
  SetFault("PULLFILE", Fault{FaultKind::Vanish, 0, 1});
  int r = Pull(LocalPath());
  // Gone between reports: the IN transfers fail, the port layer counts them
  // as empty and the read between reports times out.
  EXPECT_TRUE(r == TLX_ERR_TIMEOUT || r == TLX_PORT_TIMEOUT) << r;
  EXPECT_FALSE(std::filesystem::exists(LocalPath()));
  EXPECT_EQ(1, terminal().HidVanishes());
}

}  // namespace
