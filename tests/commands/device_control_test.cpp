// Device control commands end to end.
#include <cstring>
#include <mutex>

#include "CommandTest.h"

namespace tlxtest {
namespace {

class DeviceControl : public LinkTest {
 protected:
  void SetVersionJson(const std::string& json) {
    std::lock_guard<std::mutex> lock(impl().mu);
    impl().state.versionJson = json;
  }
  void SetUpdateJson(const std::string& json) {
    std::lock_guard<std::mutex> lock(impl().mu);
    impl().state.updateStatusJson = json;
  }
};
TLX_BOTH_LINKS(DeviceControl);

TEST_P(DeviceControl, RangeChecksSendNothing) {
  char buf[TLX_UPDATE_TEXT_SIZE] = {0};
  EXPECT_EQ(-1, TLX_SetVolume(Port(), 0, 9600, 1, 6));
  EXPECT_EQ(-1, TLX_SetVolume(Port(), 0, 9600, 2, 16));
  EXPECT_EQ(-1, TLX_SetVolume(Port(), 0, 9600, 4, 0));
  EXPECT_EQ(-1, TLX_SetVolume(Port(), 0, 9600, 3, -1));
  EXPECT_EQ(-1, TLX_SetShowDISP(Port(), 0, 9600, 0, 1));
  EXPECT_EQ(-1, TLX_SetShowDISP(Port(), 0, 9600, 5, 1));
  EXPECT_EQ(-1, TLX_SetShowDISP(Port(), 0, 9600, 1, 2));
  EXPECT_EQ(-1, TLX_SetGlobalConfig(Port(), 0, 9600, 0, 1));
  EXPECT_EQ(-1, TLX_SetGlobalConfig(Port(), 0, 9600, 6, 1));
  EXPECT_EQ(-1, TLX_SetGlobalConfig(Port(), 0, 9600, 1, 3));
  EXPECT_EQ(-1, TLX_GetVer(Port(), 0, 9600, nullptr));
  EXPECT_EQ(-1, TLX_GetUpdateStatus(Port(), 0, 9600, nullptr, buf));
  EXPECT_EQ(-1, TLX_GetUpdateStatus(Port(), 0, 9600, buf, nullptr));
  EXPECT_TRUE(Settled().empty());
}

TEST_P(DeviceControl, VolumeIsAcknowledgedOrRefused) {
  ASSERT_EQ(0, TLX_SetVolume(Port(), 0, 9600, 3, 15));
  EXPECT_TRUE(
      WasSent(B("\x1b[0SETVOLUME\x02"
                "3|15\x03")));
  {
    std::lock_guard<std::mutex> lock(impl().mu);
    EXPECT_EQ(15, impl().state.volumeMedia);
  }
  SetFault("SETVOLUME", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, TLX_SetVolume(Port(), 0, 9600, 1, 2));
  SetFault("RESTART", Fault{FaultKind::Garbage, 0, 1});
  EXPECT_EQ(-7, TLX_RestartSys(Port(), 0, 9600));
  EXPECT_EQ(0, TLX_RestartSys(Port(), 0, 9600));
}

TEST_P(DeviceControl, OnlineCheckDetectsModel) {
  char model[8] = {0};
  ASSERT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, model));
  EXPECT_STREQ("R40", model);
  EXPECT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, nullptr));
  EXPECT_FALSE(WasSent(B("\x1b[0CHECKk60")));
}

TEST_P(DeviceControl, OnlineCheckFallsBackToK60AfterRefusal) {
  engine().SetModel("k60");
  SetFault("CHECKR40", Fault{FaultKind::Refuse, 0, -1});
  char model[8] = {0};
  ASSERT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, model));
  EXPECT_STREQ("k60", model);
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ(B("\x1b[0CHECKR40"), sent[0]);
  EXPECT_EQ(B("\x1b[0CHECKk60"), sent[1]);
}

TEST_P(DeviceControl, OnlineCheckFallsBackToK60AfterSilence) {
  engine().SetModel("k60");
  SetFault("CHECKR40", Fault{FaultKind::Silence, 0, -1});
  char model[8] = {0};
  ASSERT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, model));
  EXPECT_STREQ("k60", model);
}

TEST_P(DeviceControl, OnlineCheckAnsweredByNeitherLeavesModel) {
  SetFault("CHECKR40", Fault{FaultKind::Refuse, 0, -1});
  SetFault("CHECKk60", Fault{FaultKind::Refuse, 0, -1});
  char model[8] = "xyz";
  EXPECT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, model));
  EXPECT_STREQ("xyz", model);
}

TEST_P(DeviceControl, VersionFromJson) {
  char version[TLX_VERSION_SIZE] = {0};
  ASSERT_EQ(0, TLX_GetVer(Port(), 0, 9600, version));
  EXPECT_STREQ("TLX-1.4.2", version);

  SetVersionJson("{\"Version\":{\"sys\":{\"version\":\"1\"}}}");
  char untouched[TLX_VERSION_SIZE] = "keep";
  EXPECT_EQ(-7, TLX_GetVer(Port(), 0, 9600, untouched));
  SetVersionJson("{\"Version\":{\"app\":{\"version\":7}}}");
  EXPECT_EQ(-7, TLX_GetVer(Port(), 0, 9600, untouched));
  SetVersionJson("{\"Version\":");
  EXPECT_EQ(-7, TLX_GetVer(Port(), 0, 9600, untouched));
  SetVersionJson("{\"Version\":{\"app\":{\"version\":\"" + std::string(TLX_VERSION_SIZE, 'v') +
                 "\"}}}");
  EXPECT_EQ(-10, TLX_GetVer(Port(), 0, 9600, untouched));
  EXPECT_STREQ("keep", untouched);
  SetFault("GETDEVICEINFO", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, TLX_GetVer(Port(), 0, 9600, untouched));
  EXPECT_STREQ("keep", untouched);
}

TEST_P(DeviceControl, VersionInJsonLongerThanWorkArea) {
  // 3000 bytes of other keys before the version: read in place, no copy.
  SetVersionJson("{\"pad\":\"" + std::string(3000, 'p') +
                 "\",\"Version\":{\"app\":{\"version\":\"2.0\"}}}");
  char version[TLX_VERSION_SIZE] = {0};
  ASSERT_EQ(0, TLX_GetVer(Port(), 0, 9600, version));
  EXPECT_STREQ("2.0", version);
}

TEST_P(DeviceControl, UpdateStatus) {
  char result[TLX_UPDATE_TEXT_SIZE] = {0};
  char detail[TLX_UPDATE_TEXT_SIZE] = "untouched";
  ASSERT_EQ(0, TLX_GetUpdateStatus(Port(), 0, 9600, result, detail));
  EXPECT_STREQ("Success", result);
  EXPECT_STREQ("untouched", detail);

  SetUpdateJson("{\"UpdateResult\":\"Fail\",\"UpdateDetail\":\"bad package\"}");
  ASSERT_EQ(0, TLX_GetUpdateStatus(Port(), 0, 9600, result, detail));
  EXPECT_STREQ("Fail", result);
  EXPECT_STREQ("bad package", detail);

  std::memset(result, 0, sizeof result);
  SetUpdateJson("{\"UpdateResult\":\"Fail\"}");
  EXPECT_EQ(-7, TLX_GetUpdateStatus(Port(), 0, 9600, result, detail));
  SetUpdateJson("{\"UpdateDetail\":\"x\"}");
  EXPECT_EQ(-7, TLX_GetUpdateStatus(Port(), 0, 9600, result, detail));
  EXPECT_STREQ("", result);
  EXPECT_STREQ("bad package", detail);
}

TEST_P(DeviceControl, ConfigurationProductionCheckAndDisplay) {
  EXPECT_EQ(0, TLX_SetGlobalConfig(Port(), 0, 9600, 5, 2));
  EXPECT_TRUE(
      WasSent(B("\x1b[0SETGLOBALCONFIG\x02"
                "5|2\x03")));
  SetFault("SETGLOBALCONFIG", Fault{FaultKind::Refuse, 0, 1});
  EXPECT_EQ(-7, TLX_SetGlobalConfig(Port(), 0, 9600, 1, 1));
  EXPECT_EQ(0, TLX_StartPQC(Port(), 0, 9600));
  EXPECT_TRUE(WasSent(B("\x1b[0;NERIVAX_PRODUCTION_START_PQCR")));

  ClearHistory();
  EXPECT_EQ(0, TLX_SetShowDISP(Port(), 0, 9600, 3, 1));
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(B("\x1b[4;SETDISP\x02"
              "1\x03"),
            sent[0]);
}

TEST_P(DeviceControl, CancelWithoutCommandIsRefused) {
  EXPECT_EQ(-7, TLX_CancelRead(Port(), 0, 9600));
  EXPECT_TRUE(Settled().empty());
}

// Library timeout: a silent terminal gives -2 (one case, 2 s limit).
TEST_P(DeviceControl, SilentTerminalTimesOut) {
  SetFault("RESTART", Fault{FaultKind::Silence, 0, -1});
  EXPECT_EQ(-2, TLX_RestartSys(Port(), 0, 9600));
}

// A port-sharing unit on ttyS1: channel selector after every open, reset
// before every close, and the command heard on the selected channel.
class SharedPort : public CommandTest {
 protected:
  SharedPort() { options_.serialPorts = {2}; }
};

TEST_F(SharedPort, ChannelSelectedAroundCommand) {
  ASSERT_EQ(2, SerialPort());
  ASSERT_EQ(0, TLX_RestartSys(2, 'B', 9600));
  std::vector<tlxsim::Received> h = Settled();
  std::vector<std::string> bytes;
  for (const auto& r : h) bytes.push_back(r.bytes);
  // Flush: selector and reset; exchange: selector, command, reset.
  std::vector<std::string> expected = {B("\x1b%B"), B("\x1b%A"), B("\x1b%B"), B("\x1b[0RESTART"),
                                       B("\x1b%A")};
  EXPECT_EQ(expected, bytes);
  ASSERT_EQ(5u, h.size());
  EXPECT_EQ('B', h[3].channel);
}

TEST_F(SharedPort, NoSelectorWithoutLetterButReset) {
  ASSERT_EQ(0, TLX_RestartSys(2, 0, 9600));
  std::vector<std::string> bytes;
  for (const auto& r : Settled()) bytes.push_back(r.bytes);
  std::vector<std::string> expected = {B("\x1b%A"), B("\x1b[0RESTART"), B("\x1b%A")};
  EXPECT_EQ(expected, bytes);
}

}  // namespace
}  // namespace tlxtest
