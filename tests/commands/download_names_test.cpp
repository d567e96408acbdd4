// The name a downloaded file gets on the terminal, over both links: the one
// rule the TLX_ command and the legacy entry points share, and the refusal
// of a source path that has no base name.
#include <sys/stat.h>

#include <cstring>

#include "CommandTest.h"
#include "compat/transfer.h"
#include "compat/transfer_steps.h"

namespace tlxtest {
namespace {

class DownloadNames : public LinkTest {
 protected:
  // Names of the downloads the terminal received since the last clear:
  // the serial blocks' name field, or the end packets' name.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    const std::string block = B("\x1b[0DOWNLOAD\x02");
    for (const std::string& s : Sent()) {
      if (s.compare(0, block.size(), block) == 0) {
        const size_t p1 = s.find('|', block.size());
        const size_t p2 = s.find('|', p1 + 1);
        names.push_back(s.substr(p1 + 1, p2 - p1 - 1));
      } else if (s.size() > 7 && s[0] == '\x02' && s[1] == '\x03') {
        names.push_back(s.substr(7));
      }
    }
    return names;
  }
  // True when no download step reached the terminal.
  bool NothingDownloaded() const {
    for (const std::string& s : Sent())
      if (s.rfind(B("\x1b[0DOWNLOAD"), 0) == 0 || s == B("\x1b[0HIDCHANGE")) return false;
    return true;
  }
};

TEST_P(DownloadNames, APathWithoutBaseNameIsRefusedBeforeAnythingIsSent) {
  std::string dir = Scratch("pictures") + "/";
  ASSERT_EQ(0, ::mkdir(dir.c_str(), 0700));
  ClearHistory();
  for (int mediaType : {0, 2, 255}) {
    EXPECT_EQ(TLX_ERR_ARG, DownLoadFile(Port(), 0, 9600, mediaType, &dir[0], nullptr))
        << "media type " << mediaType;
    EXPECT_EQ(TLX_ERR_ARG, TLX_DownLoadFile(Port(), 0, 9600, mediaType, &dir[0]))
        << "media type " << mediaType;
  }
  // The link's own entry point applies the same rule.
  if (Hid())
    EXPECT_EQ(TLX_ERR_ARG, HidDownLoadFile(Port(), 0, 9600, 1, &dir[0], nullptr));
  else
    EXPECT_EQ(TLX_ERR_ARG, ComDownLoadFile(Port(), 0, 9600, 1, &dir[0], nullptr));
  EXPECT_TRUE(NothingDownloaded());
}

TEST_P(DownloadNames, OneRuleForEveryEntryPoint) {
  std::string path = Scratch("Setup.PKG");
  WriteFile(path, "package");
  char dest[] = "given.bin";
  char empty[] = "";
  ClearHistory();
  ASSERT_EQ(0, TLX_DownLoadFile(Port(), 0, 9600, 1, &path[0]));
  ASSERT_EQ(0, DownLoadFile(Port(), 0, 9600, 255, &path[0], dest));
  ASSERT_EQ(0, DownLoadFile(Port(), 0, 9600, 255, &path[0], empty));
  ASSERT_EQ(0, DownLoadFile(Port(), 0, 9600, 4, &path[0], dest));
  const std::vector<std::string> expected = {"Setup.PKG", "given.bin", "Setup.PKG",
                                             // An upgrade package is stored as update.dat over
                                             // serial; over USB it keeps its own base name.
                                             Hid() ? "Setup.PKG" : "update.dat"};
  EXPECT_EQ(expected, Names());
}

TLX_BOTH_LINKS(DownloadNames);

}  // namespace
}  // namespace tlxtest
