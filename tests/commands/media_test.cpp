// Media file commands end to end: download (and upgrade), delete, query,
// list.
#include <cstring>

#include "CommandTest.h"

namespace tlxtest {
namespace {

class Media : public LinkTest {};
TLX_BOTH_LINKS(Media);

TEST_P(Media, ArgumentChecksSendNothing) {
  char empty[] = "";
  char info[TLX_FILE_INFO_SIZE] = {0};
  char list[16] = {0};
  EXPECT_EQ(-1, TLX_DownLoadFile(Port(), 0, 9600, 1, nullptr));
  EXPECT_EQ(-1, TLX_DeleteFile(Port(), 0, 9600, 1, nullptr));
  EXPECT_EQ(-1, TLX_DeleteFile(Port(), 0, 9600, 1, empty));
  std::string longName(TLX_MAX_FILE_NAME + 1, 'n');
  EXPECT_EQ(-1, TLX_FindFileInfo(Port(), 0, 9600, 1, &longName[0], info));
  EXPECT_EQ(-1, TLX_GetFileList(Port(), 0, 9600, 1, nullptr, 16));
  EXPECT_EQ(-1, TLX_GetFileList(Port(), 0, 9600, 1, list, -1));
  EXPECT_TRUE(Settled().empty());
  std::string missing = Scratch("missing.jpg");
  EXPECT_EQ(-6, TLX_DownLoadFile(Port(), 0, 9600, 1, &missing[0]));
  EXPECT_TRUE(Settled().empty());
}

// The query refuses a null or empty name after the flush, which uses the
// caller's link: on a shared serial port only the flush's channel selector
// and reset go out, and no query.
class MediaOnSharedPort : public CommandTest {
 protected:
  MediaOnSharedPort() { options_.serialPorts = {2}; }
};

TEST_F(MediaOnSharedPort, QueryWithoutNameFlushesButSendsNoQuery) {
  char empty[] = "";
  char info[TLX_FILE_INFO_SIZE] = {'x'};
  const std::vector<std::string> flush = {B("\x1b%B"), B("\x1b%A")};
  for (char* name : {empty, static_cast<char*>(nullptr)}) {
    ClearHistory();
    EXPECT_EQ(-1, TLX_FindFileInfo(2, 'B', 9600, 1, name, info));
    std::vector<std::string> bytes;
    for (const auto& r : Settled()) bytes.push_back(r.bytes);
    EXPECT_EQ(flush, bytes);
  }
  EXPECT_EQ('x', info[0]);
  // A named query goes out after the same flush.
  ClearHistory();
  char name[] = "ad01.jpg";
  TLX_FindFileInfo(2, 'B', 9600, 1, name, info);
  std::vector<std::string> bytes;
  for (const auto& r : Settled()) bytes.push_back(r.bytes);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(flush[0], bytes[0]);
  EXPECT_EQ(flush[1], bytes[1]);
  EXPECT_EQ(B("\x1b[0QUERYFILE\x02"
              "1|ad01.jpg\x03"),
            bytes[3]);
}

TEST_P(Media, DownloadStoresFileWithoutUpgrade) {
  std::string path = Scratch("ad01.jpg");
  WriteFile(path, Pattern(3000));
  ASSERT_EQ(0, TLX_DownLoadFile(Port(), 0, 9600, 0, &path[0]));
  std::string stored;
  ASSERT_TRUE(impl().ReadTerminalFile(impl().MediaPath(0, "ad01.jpg"), &stored));
  EXPECT_EQ(Pattern(3000), stored);
  EXPECT_FALSE(WasSent(B("\x1b[0UPDATE\x02/mnt/sdcard/media/data/update.dat\x03")));
}

TEST_P(Media, UpgradePackageThenUpdate) {
  std::string path = Scratch("fw-2.1.bin");
  WriteFile(path, Pattern(2000, 3));
  ASSERT_EQ(0, TLX_DownLoadFile(Port(), 0, 9600, 4, &path[0]));
  EXPECT_EQ(B("\x1b[0UPDATE\x02/mnt/sdcard/media/data/update.dat\x03"), Sent().back());
  if (!Hid()) {
    // Serial names the package update.dat whatever the local name.
    std::string stored;
    ASSERT_TRUE(impl().ReadTerminalFile("/mnt/sdcard/media/data/update.dat", &stored));
    EXPECT_EQ(Pattern(2000, 3), stored);
  } else {
    EXPECT_NE(std::string::npos, Sent()[Sent().size() - 2].find("fw-2.1.bin"));
  }
  SetFault("UPDATE", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, TLX_DownLoadFile(Port(), 0, 9600, 4, &path[0]));
}

TEST_P(Media, DeleteQueryAndList) {
  std::string path = Scratch("p1.jpg");
  WriteFile(path, "photo");
  ASSERT_EQ(0, TLX_DownLoadFile(Port(), 0, 9600, 2, &path[0]));

  char name[] = "p1.jpg";
  ClearHistory();
  ASSERT_EQ(0, TLX_FindFileInfo(Port(), 0, 9600, 2, name, nullptr));
  EXPECT_EQ(B("\x1b[0QUERYFILE\x02"
              "2|p1.jpg\x03"),
            Sent().back());
  char info[TLX_FILE_INFO_SIZE];
  std::memset(info, 'z', sizeof info);
  ASSERT_EQ(0, TLX_FindFileInfo(Port(), 0, 9600, 2, name, info));
  EXPECT_LT(std::strlen(info), static_cast<size_t>(TLX_FILE_INFO_SIZE));

  char list[512] = {0};
  ASSERT_EQ(0, TLX_GetFileList(Port(), 0, 9600, 2, list, sizeof list));
  EXPECT_NE(nullptr, std::strstr(list, "p1.jpg"));
  EXPECT_EQ(B("\x1b[0GETFILELIST\x02"
              "2\x03"),
            Sent().back());

  ASSERT_EQ(0, TLX_DeleteFile(Port(), 0, 9600, 2, name));
  EXPECT_EQ(B("\x1b[0DELETE\x02"
              "2|p1.jpg\x03"),
            Sent().back());
  SetFault("DELETE", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, TLX_DeleteFile(Port(), 0, 9600, 2, name));
  SetFault("QUERYFILE", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, TLX_FindFileInfo(Port(), 0, 9600, 2, name, info));
  SetFault("GETFILELIST", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, TLX_GetFileList(Port(), 0, 9600, 2, list, sizeof list));
}

TEST_P(Media, FileListTooSmallAndExactFit) {
  for (const char* n : {"a.jpg", "bb.jpg", "ccc.jpg"}) {
    std::string path = Scratch(n);
    WriteFile(path, n);
    ASSERT_EQ(0, TLX_DownLoadFile(Port(), 0, 9600, 0, &path[0]));
  }
  char full[512] = {0};
  ASSERT_EQ(0, TLX_GetFileList(Port(), 0, 9600, 0, full, sizeof full));
  const int len = static_cast<int>(std::strlen(full));
  ASSERT_GT(len, 10);

  char small[512];
  std::memset(small, 'z', sizeof small);
  EXPECT_EQ(-10, TLX_GetFileList(Port(), 0, 9600, 0, small, len - 1));
  EXPECT_EQ(std::string(20, 'z'), std::string(small, 20));

  char exact[512];
  std::memset(exact, 'z', sizeof exact);
  ASSERT_EQ(0, TLX_GetFileList(Port(), 0, 9600, 0, exact, len));
  EXPECT_EQ(std::string(full), std::string(exact, len));
  EXPECT_EQ('z', exact[len]);
}

TEST_P(Media, FileListFillingTheWholeReplyArea) {
  // 20 names joined by '|': 19 * 204 + 199 + 19 = 4094 characters, so the
  // framed reply is exactly 4096 bytes.
  std::string expected;
  for (int i = 0; i < 20; ++i) {
    std::string n =
        std::string(1, static_cast<char>('a' + i)) + std::string(i < 19 ? 203 : 198, 'x');
    ASSERT_TRUE(impl().WriteTerminalFile(impl().MediaPath(1, n), "v"));
    expected += (expected.empty() ? "" : "|") + n;
  }
  ASSERT_EQ(4094u, expected.size());
  std::string list(5000, 'z');
  ASSERT_EQ(0, TLX_GetFileList(Port(), 0, 9600, 1, &list[0], 4094));
  EXPECT_EQ(expected, list.substr(0, 4094));
  EXPECT_EQ('z', list[4094]);
}

TEST_P(Media, QueryReplyCutByCapacityIsRefused) {
  // A name long enough that the terminal's information exceeds 64 bytes.
  std::string longName(80, 'n');
  longName += ".jpg";
  std::string path = Scratch(longName);
  WriteFile(path, "x");
  ASSERT_EQ(0, TLX_DownLoadFile(Port(), 0, 9600, 0, &path[0]));
  char info[TLX_FILE_INFO_SIZE + 8];
  std::memset(info, 'z', sizeof info);
  int rc = TLX_FindFileInfo(Port(), 0, 9600, 0, &longName[0], info);
  if (rc == 0) {
    EXPECT_LT(std::strlen(info), static_cast<size_t>(TLX_FILE_INFO_SIZE));
  } else {
    EXPECT_EQ(-7, rc);
    EXPECT_EQ('z', info[0]);
  }
  EXPECT_EQ(std::string(8, 'z'), std::string(info + TLX_FILE_INFO_SIZE, 8));
}

}  // namespace
}  // namespace tlxtest
