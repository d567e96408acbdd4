// tlxctl test-key against the virtual terminal: a master key and a work key
// made by the helper load, and a PIN block decrypts with the work key (the
// terminal's conventions: key2 the left half, 3DES-ECB, ISO format 0); the
// check values are the keys' encryptions of eight zero bytes; key files
// are the owner's only; a key of a length the terminal does not take is
// refused before anything is sent.
#include <sys/stat.h>

#include "CtlTest.h"
#include "PinBlock.h"
#include "Tdes.h"

namespace tlxtest {
namespace {

// The key texts of a key file, comments left out.
std::vector<std::string> KeyTexts(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line[0] != '#') out.push_back(line);
    pos = end + 1;
  }
  return out;
}

std::string Bytes(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

class CtlKeys : public CtlLinkTest {
 protected:
  void SetPin(const std::string& pin) {
    tlxsim::Customer c = terminal().GetCustomer();
    c.pin = {true, 50, pin};
    SetCustomer(c);
  }
};

TEST_P(CtlKeys, HelperKeysLoadAndThePinBlockDecrypts) {
  CtlResult r = Run({"test-key", "new", "--master", Scratch("master.keys")});
  EXPECT_CTL_OK(r);
  r = Run({"test-key", "new", Scratch("work.clear")});
  EXPECT_CTL_OK(r);
  struct stat st;
  ASSERT_EQ(stat(Scratch("master.keys").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string masterFile = ReadFile(Scratch("master.keys"));
  EXPECT_NE(masterFile.find("Production keys come from the bank's key management"),
            std::string::npos);
  const std::vector<std::string> halves = KeyTexts(masterFile);
  ASSERT_EQ(halves.size(), 2u);  // key1 (right half), key2 (left half)
  const std::string master = Bytes(halves[1]) + Bytes(halves[0]);
  ASSERT_EQ(master.size(), 16u);
  const std::vector<std::string> workText = KeyTexts(ReadFile(Scratch("work.clear")));
  ASSERT_EQ(workText.size(), 1u);
  const std::string work = Bytes(workText[0]);
  ASSERT_EQ(work.size(), 16u);

  // The encrypted work key is what work-key reads; its comment names the
  // check value.
  r = Run({"test-key", "encrypt", Scratch("master.keys"), Scratch("work.clear")});
  EXPECT_CTL_OK(r);
  std::string expected;
  ASSERT_TRUE(tlxsim::TdesEncrypt(master, work, &expected));
  ASSERT_EQ(KeyTexts(r.out).size(), 1u) << r.out;
  EXPECT_EQ(KeyTexts(r.out)[0], HexDump(expected));
  const std::string check = HexDump(tlxsim::TdesCheckValue(work)).substr(0, 6);
  EXPECT_NE(r.out.find("the work key's check value is " + check), std::string::npos) << r.out;
  WriteFile(Scratch("work.key"), r.out, 0600);

  EXPECT_CTL_OK(Run({"master-key", "4", Scratch("master.keys")}));
  EXPECT_CTL_OK(Run({"work-key", "4", "7", Scratch("work.key")}));
  EXPECT_CTL_OK(Run({"activate", "4", "7"}));
  {
    std::lock_guard<std::mutex> g(engine().Impl().mu);
    EXPECT_EQ(engine().Impl().state.masterKeys[4], master);
    EXPECT_EQ((engine().Impl().state.workKeys[{4, 7}]), work);
  }
  SetPin("97310");
  r = Run({"pin-block", "--show", "--timeout", "5"});
  EXPECT_CTL_OK(r);
  std::string pin;
  ASSERT_TRUE(tlxsim::DecryptPinBlock(work, Bytes(r.out.substr(0, 16)), "", &pin)) << r.out;
  EXPECT_EQ(pin, "97310");

  // The check values, short and whole.
  r = Run({"test-key", "check", Scratch("work.clear")});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, check + "\n");
  Json j = ParseJson(Run({"--json", "test-key", "check", "--master", Scratch("master.keys")}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonString(j.get(), "check_block"), HexDump(tlxsim::TdesCheckValue(master)));
  EXPECT_EQ(JsonString(j.get(), "check_value"),
            HexDump(tlxsim::TdesCheckValue(master)).substr(0, 6));
}

TEST_P(CtlKeys, LengthsAndFiles) {
  // Keys of 8 and 24 bytes; an existing file is never replaced.
  EXPECT_CTL_OK(Run({"test-key", "new", "--length", "8", Scratch("k8")}));
  EXPECT_EQ(KeyTexts(ReadFile(Scratch("k8")))[0].size(), 16u);
  EXPECT_CTL_OK(Run({"test-key", "new", "--master", "--length", "24", Scratch("m24")}));
  const std::vector<std::string> m24 = KeyTexts(ReadFile(Scratch("m24")));
  ASSERT_EQ(m24.size(), 2u);
  EXPECT_EQ(m24[0].size() + m24[1].size(), 48u);
  const std::string before = ReadFile(Scratch("k8"));
  CtlResult r = Run({"test-key", "new", Scratch("k8")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("never replaced"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(Scratch("k8")), before);
  ExpectRangeError(Run({"test-key", "new", "--length", "12", Scratch("k12")}),
                   "--length takes 8, 16 or 24 (bytes), not '12'");
  EXPECT_EQ(Run({"test-key", "shuffle"}).status, 2);
  // Random keys differ; every byte has odd parity, as DES keys do.
  EXPECT_CTL_OK(Run({"test-key", "new", "--length", "8", Scratch("k8b")}));
  const std::string a = Bytes(KeyTexts(ReadFile(Scratch("k8")))[0]);
  EXPECT_NE(a, Bytes(KeyTexts(ReadFile(Scratch("k8b")))[0]));
  for (unsigned char c : a) EXPECT_EQ(__builtin_popcount(c) % 2, 1) << int(c);
}

TEST_P(CtlKeys, KeysOfOtherLengthsAreNotSent) {
  ClearHistory();
  // A work key of two bytes, a master key of 10: faults of the key file.
  CtlResult r = Run({"work-key", "0", "1"}, "A1B2\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(
      r.err.find(
          "the work key is 2 bytes; the terminal takes 8, 16 or 24 (16, 32 or 48 hex digits)"),
      std::string::npos)
      << r.err;
  r = Run({"master-key", "0"}, "0123456789 ABCDEF0123\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the master key (key2 and key1 together) is 10 bytes"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("0123456789"), std::string::npos) << "never quotes the key";
  WriteFile(Scratch("bad.keys"), "0123456789ABCDEF\nnot-hex\n", 0600);
  r = Run({"master-key", "0", Scratch("bad.keys")});
  EXPECT_EQ(r.status, 1) << "a malformed key file is a file problem";
  EXPECT_TRUE(Settled().empty());
}

TLX_CTL_BOTH_LINKS(CtlKeys);

}  // namespace
}  // namespace tlxtest
