// tlxctl's media file commands against the virtual terminal on both links.
#include "CtlTest.h"

namespace tlxtest {
namespace {

class CtlMedia : public CtlLinkTest {
 protected:
  std::vector<std::string> Files(int type) {
    std::lock_guard<std::mutex> g(engine().Impl().mu);
    return engine().Impl().MediaFiles(type);
  }
  std::string Stored(int type, const std::string& name) {
    std::lock_guard<std::mutex> g(engine().Impl().mu);
    return ReadFile(engine().Impl().HostPath(engine().Impl().MediaPath(type, name)));
  }
  // 1300 bytes: three serial blocks, one HID data packet.
  std::string Picture() {
    std::string s;
    for (int i = 0; i < 1300; ++i) s += static_cast<char>((i * 7) & 0xFF);
    WriteFile(Scratch("ad1.jpg"), s);
    return s;
  }
};

TEST_P(CtlMedia, DownloadListQueryDelete) {
  const std::string bytes = Picture();
  CtlResult r = Run({"download", Scratch("ad1.jpg")});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, Scratch("ad1.jpg") + " downloaded\n");
  EXPECT_EQ(Stored(0, "ad1.jpg"), bytes);
  r = Run({"download", "--type", "photo", Scratch("ad1.jpg")});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(Files(2), std::vector<std::string>{"ad1.jpg"});

  r = Run({"list", "--type", "ad"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "ad1.jpg\n");
  r = Run({"query", "ad1.jpg"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "ad1.jpg|1300\n");
  Json j = ParseJson(Run({"--json", "query", "--type", "2", "ad1.jpg"}).out);
  ASSERT_TRUE(j);
  const cJSON* info = cJSON_GetObjectItem(j.get(), "info");
  ASSERT_TRUE(cJSON_IsObject(info)) << "named fields, not the terminal's text";
  EXPECT_EQ(JsonString(info, "name"), "ad1.jpg");
  EXPECT_EQ(JsonNumber(info, "size"), 1300);
  EXPECT_EQ(JsonString(info, "text"), "ad1.jpg|1300");
  EXPECT_EQ(JsonNumber(j.get(), "type"), 2);

  r = Run({"delete", "ad1.jpg"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "ad1.jpg deleted\n");
  EXPECT_TRUE(Files(0).empty());
  j = ParseJson(Run({"--json", "list"}).out);
  ASSERT_TRUE(j);
  const cJSON* list = cJSON_GetObjectItem(j.get(), "list");
  ASSERT_TRUE(cJSON_IsArray(list));
  EXPECT_EQ(cJSON_GetArraySize(list), 0);
  EXPECT_EQ(JsonNumber(j.get(), "count"), 0);
  r = Run({"list"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "no files of type ad (0) on the terminal\n");
}

TEST_P(CtlMedia, ListIsAnArrayOfNames) {
  Picture();
  ASSERT_EQ(Run({"download", Scratch("ad1.jpg")}).status, 0);
  WriteFile(Scratch("b2.jpg"), "xy");
  ASSERT_EQ(Run({"download", Scratch("b2.jpg")}).status, 0);
  CtlResult r = Run({"list"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "ad1.jpg\nb2.jpg\n") << "one name a line";
  WriteFile(Scratch("c.jpg"), "z");
  ASSERT_EQ(Run({"download", Scratch("c.jpg")}).status, 0);
  Json j = ParseJson(Run({"--json", "list", "--type", "ad"}).out);
  ASSERT_TRUE(j);
  const cJSON* list = cJSON_GetObjectItem(j.get(), "list");
  ASSERT_TRUE(cJSON_IsArray(list));
  std::vector<std::string> names;
  for (const cJSON* n = list->child; n != nullptr; n = n->next) names.push_back(n->valuestring);
  EXPECT_EQ(names, (std::vector<std::string>{"ad1.jpg", "b2.jpg", "c.jpg"}));
  EXPECT_EQ(JsonNumber(j.get(), "count"), 3);
  j = ParseJson(Run({"--json", "query", "b2.jpg"}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonString(cJSON_GetObjectItem(j.get(), "info"), "name"), "b2.jpg");
  EXPECT_EQ(JsonNumber(cJSON_GetObjectItem(j.get(), "info"), "size"), 2);
  // Another media type stays empty, and says so.
  r = Run({"list", "--type", "video"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "no files of type video (1) on the terminal\n");
}

TEST_P(CtlMedia, UpgradePackageStartsTheUpgrade) {
  WriteFile(Scratch("fw.bin"), std::string(700, 'u'));
  CtlResult r = Run({"download", "--type", "upgrade", Scratch("fw.bin")});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, Scratch("fw.bin") + " downloaded; upgrade started\n");
  SetFault("UPDATE", {FaultKind::Refuse});
  ExpectCtlError(Run({"download", "--type", "upgrade", Scratch("fw.bin")}), -7, "download");
}

TEST_P(CtlMedia, Refusals) {
  Picture();
  ExpectCtlError(Run({"download", Scratch("none.jpg")}), -6, "download");
  ExpectCtlError(Run({"delete", "none.jpg"}), -7, "delete");
  ExpectCtlError(Run({"query", "none.jpg"}), -7, "query");
  ExpectCtlError(Run({"query", ""}), -1, "query");
  SetFault(L() == Link::Hid ? "PACKET" : "DOWNLOAD", {FaultKind::Refuse});
  ExpectCtlError(Run({"download", Scratch("ad1.jpg")}), -7, "download");
  EXPECT_TRUE(Files(0).empty());
  SetFault("GETFILELIST", {FaultKind::Refuse});
  ExpectCtlError(Run({"list"}), -7, "list");
  CtlResult r;
  // A list longer than --size.
  ClearHistory();
  engine().ClearFaults();
  ASSERT_EQ(Run({"download", Scratch("ad1.jpg")}).status, 0);
  r = Run({"list", "--size", "3"});
  ExpectCtlError(r, -10, "list");
  EXPECT_NE(r.err.find("longer than --size"), std::string::npos);
}

// Over serial a block whose acknowledgement does not come is a failed read
// (-5); over USB a packet without answer times out (-2).
TEST_P(CtlMedia, DownloadSilent) {
  Picture();
  SetFault(L() == Link::Hid ? "PACKET" : "DOWNLOAD", {FaultKind::Silence});
  ExpectCtlError(Run({"download", Scratch("ad1.jpg")}), L() == Link::Hid ? -2 : -5, "download");
}

TEST_P(CtlMedia, DeleteSilent) {
  SetFault("DELETE", {FaultKind::Silence});
  ExpectCtlError(Run({"delete", "x.jpg"}), -2, "delete");
}

TEST_P(CtlMedia, QuerySilent) {
  SetFault("QUERYFILE", {FaultKind::Silence});
  ExpectCtlError(Run({"query", "x.jpg"}), -2, "query");
}

TEST_P(CtlMedia, ListSilent) {
  SetFault("GETFILELIST", {FaultKind::Silence});
  ExpectCtlError(Run({"list"}), -2, "list");
}

TLX_CTL_BOTH_LINKS(CtlMedia);

}  // namespace
}  // namespace tlxtest
