// Port number -> serial device path, with TLX_SERIAL_PATH.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>

#include "compat/CDevice.h"

namespace {

// Sets TLX_SERIAL_PATH for the scope (or removes it for nullptr).
class ScopedPattern {
 public:
  explicit ScopedPattern(const char* value) {
    if (value)
      setenv("TLX_SERIAL_PATH", value, 1);
    else
      unsetenv("TLX_SERIAL_PATH");
  }
  ~ScopedPattern() { unsetenv("TLX_SERIAL_PATH"); }
};

std::string PathOf(int port) {
  char buf[128];
  std::memset(buf, '#', sizeof buf);
  if (!SerialDevicePath(port, buf, sizeof buf)) return "<none>";
  return buf;
}

}  // namespace

TEST(SerialDevicePath, DefaultPatternCountsFromZero) {
  ScopedPattern none(nullptr);
  EXPECT_EQ(PathOf(1), "/dev/ttyS0");
  EXPECT_EQ(PathOf(4), "/dev/ttyS3");
  EXPECT_EQ(PathOf(0), "<none>");
  EXPECT_EQ(PathOf(-2), "<none>");
}

TEST(SerialDevicePath, EnvironmentPatternWithOneConversion) {
  ScopedPattern p("/dev/ttyUSB%d");
  EXPECT_EQ(PathOf(1), "/dev/ttyUSB0");
  EXPECT_EQ(PathOf(12), "/dev/ttyUSB11");
  ScopedPattern q("/tmp/sim/%d/tty");
  EXPECT_EQ(PathOf(3), "/tmp/sim/2/tty");
}

TEST(SerialDevicePath, InvalidPatternsAreIgnored) {
  for (const char* bad : {"", "/dev/ttyX", "/dev/tty%s", "/dev/%d%d", "/dev/%n%d", "%x%d",
                          "/dev/tty%d%", "/dev/tty%%%d", "/dev/tty%5d", "/dev/tty%ld"}) {
    ScopedPattern p(bad);
    EXPECT_EQ(PathOf(2), "/dev/ttyS1") << "pattern '" << bad << "'";
  }
}

TEST(SerialDevicePath, RespectsCapacity) {
  ScopedPattern p("/dev/ttyUSB%d");
  char buf[16];
  std::memset(buf, '#', sizeof buf);
  EXPECT_FALSE(SerialDevicePath(10, buf, 12));  // "/dev/ttyUSB9" needs 13
  EXPECT_EQ(buf[12], '#');
  EXPECT_TRUE(SerialDevicePath(10, buf, 13));
  EXPECT_STREQ(buf, "/dev/ttyUSB9");
  EXPECT_FALSE(SerialDevicePath(1, nullptr, 16));
  EXPECT_FALSE(SerialDevicePath(1, buf, 0));
}
