// File names, whole-file reads and writes, directory listing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "compat/util.h"
#include "temp_dir.h"

namespace {
char* C(std::string& s) { return &s[0]; }
}  // namespace

TEST(FileNames, BaseAndExtension) {
  std::string path = "/data/media/ad01.jpg";
  char dst[64];
  std::memset(dst, '#', sizeof dst);
  GetFileName(C(path), dst);
  EXPECT_STREQ(dst, "ad01.jpg");
  GetFileExtendName(C(path), dst);
  EXPECT_STREQ(dst, "jpg");

  std::string dotDir = "dir.old/file";
  GetFileExtendName(C(dotDir), dst);
  EXPECT_STREQ(dst, "old/file") << "the last '.' anywhere in the path";
  std::string plain = "README";
  GetFileExtendName(C(plain), dst);
  EXPECT_STREQ(dst, "");
  GetFileName(C(plain), dst);
  EXPECT_STREQ(dst, "README");
  std::string trailing = "/tmp/dir/";
  GetFileName(C(trailing), dst);
  EXPECT_STREQ(dst, "");

  std::memset(dst, '#', sizeof dst);
  std::string empty;
  GetFileName(C(empty), dst);
  GetFileName(nullptr, dst);
  GetFileExtendName(nullptr, dst);
  EXPECT_EQ(dst[0], '#') << "nothing written for empty or null paths";
}

TEST(FileNames, TmpFileIsBoundedBySize) {
  std::string name = "hw.png";
  char buf[32];
  std::memset(buf, '#', sizeof buf);
  GetTmpFile(C(name), buf, sizeof buf);
  EXPECT_STREQ(buf, "/tmp/hw.png");
  std::memset(buf, '#', sizeof buf);
  GetTmpFile(C(name), buf, 8);
  EXPECT_STREQ(buf, "/tmp/hw");
  EXPECT_EQ(buf[8], '#');
}

TEST(SplitData, CopiesTheTextBeforeThePattern) {
  std::string src = "name|size|date";
  std::string bar = "|";
  char dst[32];
  std::memset(dst, '#', sizeof dst);
  char* at = SplitData(C(src), dst, C(bar));
  EXPECT_EQ(at, C(src) + 4);
  EXPECT_EQ(std::string(dst, 5), "name#") << "no terminator added";

  std::string lead = "|rest";
  std::memset(dst, '#', sizeof dst);
  EXPECT_EQ(SplitData(C(lead), dst, C(bar)), C(lead));
  EXPECT_EQ(dst[0], '#');

  std::string none = "whole";
  EXPECT_EQ(SplitData(C(none), dst, C(bar)), C(none));
  EXPECT_STREQ(dst, "whole") << "not found: copied with its terminator";
  EXPECT_EQ(SplitData(C(src), nullptr, C(bar)), C(src) + 4);
}

TEST(FileData, ReadRespectsSizeLimits) {
  TempDir dir;
  std::string content(3000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 251);
  std::string path = dir.file("data.bin");
  WriteFile(path, content);

  std::vector<char> buf(4096, '#');
  EXPECT_EQ(ReadFileData(buf.data(), 2999, C(path), "rb"), 0) << "larger than the capacity";
  EXPECT_EQ(buf[0], '#') << "nothing read";
  EXPECT_EQ(ReadFileData(buf.data(), 4096, C(path), "rb"), 3000);
  EXPECT_EQ(std::string(buf.data(), 3000), content);
  EXPECT_EQ(buf[3000], 0) << "the capacity is zeroed first";
  EXPECT_EQ(ReadFileData(buf.data(), 3000, C(path), "rb"), 3000) << "exact fit";

  std::string emptyPath = dir.file("empty");
  WriteFile(emptyPath, "");
  EXPECT_EQ(ReadFileData(buf.data(), 4096, C(emptyPath), "rb"), 0);
  std::string missing = dir.file("missing");
  EXPECT_EQ(ReadFileData(buf.data(), 4096, C(missing), "rb"), 0);
  EXPECT_EQ(ReadFileData(nullptr, 4096, C(path), "rb"), 0);
  EXPECT_EQ(ReadFileData(buf.data(), 0, C(path), "rb"), 0);
  EXPECT_EQ(ReadFileData(buf.data(), -5, C(path), "rb"), 0);
}

TEST(FileData, WriteInChunksAndSizes) {
  TempDir dir;
  std::string path = dir.file("out.bin");
  std::string data(20000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 13);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data.data());

  EXPECT_EQ(WriteFileData(bytes, data.size(), C(path), "wb"), 20000);
  EXPECT_EQ(ReadFile(path), data);
  EXPECT_EQ(GetFileSize(C(path)), 20000);
  EXPECT_EQ(WriteFileData(bytes, 10, C(path), "ab"), 10);
  EXPECT_EQ(GetFileSize(C(path)), 20010);

  EXPECT_EQ(WriteFileData(bytes, 0, C(path), "wb"), 0);
  EXPECT_EQ(WriteFileData(nullptr, 5, C(path), "wb"), 0);
  std::string noDir = dir.file("no/such/dir/file");
  EXPECT_EQ(WriteFileData(bytes, 5, C(noDir), "wb"), 0);
  EXPECT_EQ(GetFileSize(C(noDir)), -1);
  EXPECT_EQ(GetFileSize(nullptr), -1);

  // Links are followed.
  std::string link = dir.file("link");
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  EXPECT_EQ(GetFileSize(C(link)), 20010);
  EXPECT_EQ(min(-3, 2), -3);
  EXPECT_EQ(min(5000000000L, 4000000000L), 4000000000L);
}

TEST(FileData, DirectoryListingKeepsRegularFilesOnly) {
  TempDir dir;
  WriteFile(dir.file("a.jpg"), "a");
  WriteFile(dir.file("b.mp4"), "bb");
  ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0700), 0);
  WriteFile(dir.file("sub/inner.txt"), "c");
  ASSERT_EQ(symlink(dir.file("a.jpg").c_str(), dir.file("alias").c_str()), 0);

  std::vector<std::string> names = {"kept"};
  GetFilesFromDir(dir.path(), "ignored", names);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], "kept") << "the list is not cleared";
  std::sort(names.begin() + 1, names.end());
  EXPECT_EQ(names[1], "a.jpg");
  EXPECT_EQ(names[2], "b.mp4");

  GetFilesFromDir(dir.file("missing"), "", names);
  EXPECT_EQ(names.size(), 3u);
}
