// tlxd's configuration files: the user's keys over the system's, origin
// sections, the page origin "self", and lines that are refused with their
// place named.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "Config.h"

namespace {

class TlxdConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tlxd-config-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    const std::string cmd = "rm -rf '" + dir_ + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
  }
  std::string File(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  std::string dir_;
};

TEST_F(TlxdConfig, UserFileOverridesTheSystemsKeysAndOrigins) {
  tlxd::Config c;
  std::string error;
  ASSERT_TRUE(tlxd::ReadConfigFile(
      File("system.conf",
           "# system\n[service]\nport = 47215\nqueue = 10\nrate = 5\n[link]\nport = 1\nbp = "
           "A\nbaud = 115200\n"
           "[origin https://teller.example]\ntoken = system-token-0123456\nallow = plain-pin\n"),
      true, &c, &error))
      << error;
  ASSERT_TRUE(tlxd::ReadConfigFile(File("user.conf",
                                        "[service]\nqueue = 3\n\n; user\n[origin "
                                        "https://teller.example]\ntoken = user-token-0123456789\n"
                                        "[origin https://queue.example:8443]\ntoken = "
                                        "queue-token-012345678\nallow = keys, plain-pin\n"),
                                   true, &c, &error))
      << error;
  EXPECT_EQ(c.port, 47215);
  EXPECT_EQ(c.queue, 3);
  EXPECT_EQ(c.rate, 5);
  EXPECT_EQ(c.linkPort, 1);
  EXPECT_EQ(c.linkBp, 'A');
  EXPECT_EQ(c.linkBaud, 115200);
  ASSERT_EQ(c.origins.size(), 2u);
  const tlxd::OriginRule* teller = c.RuleFor("https://teller.example", 47215);
  ASSERT_NE(teller, nullptr);
  EXPECT_EQ(teller->token, "user-token-0123456789");
  EXPECT_FALSE(teller->allowPlainPin);  // the user's section replaced the system's
  const tlxd::OriginRule* queue = c.RuleFor("https://queue.example:8443", 47215);
  ASSERT_NE(queue, nullptr);
  EXPECT_TRUE(queue->allowKeys);
  EXPECT_TRUE(queue->allowPlainPin);
  EXPECT_EQ(c.RuleFor("https://queue.example", 47215), nullptr);
  EXPECT_EQ(c.RuleFor("", 47215), nullptr);
  // A missing optional file changes nothing; a missing named file is an error.
  EXPECT_TRUE(tlxd::ReadConfigFile(dir_ + "/none.conf", false, &c, &error));
  EXPECT_FALSE(tlxd::ReadConfigFile(dir_ + "/none.conf", true, &c, &error));
}

TEST_F(TlxdConfig, SelfIsThePageServedOnTheServicesOwnPort) {
  tlxd::Config c;
  std::string error;
  ASSERT_TRUE(tlxd::ReadConfigFile(File("a.conf", "[origin self]\ntoken = 0123456789abcdef\n"),
                                   true, &c, &error));
  // Without pages there is no page of its own.
  EXPECT_EQ(c.RuleFor("http://127.0.0.1:5000", 5000), nullptr);
  c.webRoot = dir_;
  EXPECT_NE(c.RuleFor("http://127.0.0.1:5000", 5000), nullptr);
  EXPECT_NE(c.RuleFor("http://[::1]:5000", 5000), nullptr);
  EXPECT_NE(c.RuleFor("http://localhost:5000", 5000), nullptr);
  EXPECT_EQ(c.RuleFor("http://127.0.0.1:5001", 5000), nullptr);
  EXPECT_EQ(c.RuleFor("https://127.0.0.1:5000", 5000), nullptr);
}

TEST_F(TlxdConfig, RefusedLinesNameTheirPlace) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"[service]\nport = 70000\n", ":2: 'port' needs a port 0..65535"},
      {"[service]\nqueue = many\n", ":2: 'queue' needs 1..10000"},
      {"[link]\nbp = Z\n", ":2: 'bp' needs A, B, C, K, 9 or none"},
      {"[link]\nspeed = 9600\n", ":2: unknown key 'speed'"},
      {"[origin http://a.example]\ntoken = short\n", ":2: 'token' needs at least 16 characters"},
      {"[origin http://a.example]\nallow = everything\n",
       ":2: 'allow' needs plain-pin, keys or none"},
      {"[origin http://a.example]\nallow = keys\n", "[origin http://a.example] has no token"},
      {"[other]\n", ":1: unknown section [other]"},
      {"[service\n", ":1: a section needs its ']'"},
      {"port 5\n", ":1: expected key = value"},
      {"port = 5\n", ":1: 'port' needs a section first"},
  };
  for (const auto& k : cases) {
    tlxd::Config c;
    std::string error;
    EXPECT_FALSE(tlxd::ReadConfigFile(File("bad.conf", k.text), true, &c, &error)) << k.text;
    EXPECT_NE(error.find(k.expected), std::string::npos) << error;
  }
}

}  // namespace
