// tlxctl's device control commands against the virtual terminal on both
// links: output and exit status on success, on a refusal and on a timeout.
#include "CtlTest.h"

namespace tlxtest {
namespace {

class CtlDevice : public CtlLinkTest {};

TEST_P(CtlDevice, OnlinePrintsTheModel) {
  CtlResult r = Run({"online"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "online: model R40\n");
  Json j = ParseJson(Run({"--json", "online"}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonString(j.get(), "command"), "online");
  EXPECT_EQ(JsonNumber(j.get(), "result"), 0);
  EXPECT_EQ(JsonString(j.get(), "model"), "R40");
  const cJSON* link = cJSON_GetObjectItem(j.get(), "link");
  EXPECT_EQ(JsonNumber(link, "port"), PortOf(L()));
  EXPECT_EQ(JsonString(link, "bp"), "none");
}

TEST_P(CtlDevice, OnlineRefusedByBothProbesStillAnswers) {
  SetFault("CHECKR40", {FaultKind::Refuse});
  SetFault("CHECKk60", {FaultKind::Refuse});
  CtlResult r = Run({"online"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "online: the terminal answers, but acknowledges neither model probe\n");
  Json j = ParseJson(Run({"--json", "online"}).out);
  ASSERT_TRUE(j);
  EXPECT_TRUE(cJSON_IsNull(cJSON_GetObjectItem(j.get(), "model")));
}

TEST_P(CtlDevice, OnlineSilentTerminalTimesOut) {
  SetFault("CHECKR40", {FaultKind::Silence});
  SetFault("CHECKk60", {FaultKind::Silence});
  CtlResult r = Run({"online"});
  ExpectCtlError(r, -2, "online");
  EXPECT_NE(r.err.find("tlxctl probe"), std::string::npos) << r.err;
  // --json: the object on stdout holds the code, its text and the status.
  r = Run({"--json", "online"});
  EXPECT_EQ(r.status, 12);
  Json j = ParseJson(r.out);
  ASSERT_TRUE(j) << r.out;
  EXPECT_EQ(JsonNumber(j.get(), "result"), -2);
  EXPECT_EQ(JsonString(j.get(), "error"), "no complete reply in time");
  EXPECT_EQ(JsonNumber(j.get(), "exit"), 12);
}

TEST_P(CtlDevice, VersionAndUpdateStatus) {
  CtlResult r = Run({"version"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "version: TLX-1.4.2\n");
  Json v = ParseJson(Run({"--json", "version"}).out);
  ASSERT_TRUE(v);
  EXPECT_EQ(JsonString(v.get(), "version"), "TLX-1.4.2");

  r = Run({"update-status"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "update result: Success\n");
  {
    std::lock_guard<std::mutex> g(engine().Impl().mu);
    engine().Impl().state.updateStatusJson =
        R"({"UpdateResult":"Fail","UpdateDetail":"bad image"})";
  }
  r = Run({"update-status"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "update result: Fail\ndetail: bad image\n");
  Json u = ParseJson(Run({"--json", "update-status"}).out);
  ASSERT_TRUE(u);
  EXPECT_EQ(JsonString(u.get(), "update_result"), "Fail");
  EXPECT_EQ(JsonString(u.get(), "update_detail"), "bad image");
}

TEST_P(CtlDevice, VersionRefusedAndSilent) {
  SetFault("GETDEVICEINFO", {FaultKind::Refuse, 0, 1});
  ExpectCtlError(Run({"version"}), -7, "version");
  SetFault("GETUPDATESTATUS", {FaultKind::Refuse, 0, 1});
  ExpectCtlError(Run({"update-status"}), -7, "update-status");
  SetFault("GETDEVICEINFO", {FaultKind::Silence});
  ExpectCtlError(Run({"version"}), -2, "version");
}

TEST_P(CtlDevice, UpdateStatusSilent) {
  SetFault("GETUPDATESTATUS", {FaultKind::Silence});
  ExpectCtlError(Run({"update-status"}), -2, "update-status");
}

TEST_P(CtlDevice, VolumeByNameAndNumber) {
  CtlResult r = Run({"volume", "system", "2"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "system volume set to 2\n");
  r = Run({"volume", "3", "15"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "multimedia volume set to 15\n");
  std::lock_guard<std::mutex> g(engine().Impl().mu);
  EXPECT_EQ(engine().Impl().state.volumeSystem, 2);
  EXPECT_EQ(engine().Impl().state.volumeMedia, 15);
}

TEST_P(CtlDevice, VolumeRefusals) {
  // An out-of-range level is refused with its range before anything is sent.
  CtlResult r = Run({"volume", "system", "6"});
  ExpectRangeError(r, "LEVEL of the system volume takes 0..5, not '6'");
  ExpectRangeError(Run({"volume", "media", "16"}), "LEVEL takes 0..15, not '16'");
  ExpectRangeError(Run({"volume", "4", "1"}),
                   "KIND takes system (1), key (2) or media (3), not '4'");
  // A kind that is no name and no number is tlxctl's usage error.
  r = Run({"volume", "loud", "3"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("KIND must be one of system, key, media"), std::string::npos) << r.err;
  SetFault("SETVOLUME", {FaultKind::Refuse, 0, 1});
  ExpectCtlError(Run({"volume", "key", "4"}), -7, "volume");
}

TEST_P(CtlDevice, VolumeSilent) {
  SetFault("SETVOLUME", {FaultKind::Silence});
  ExpectCtlError(Run({"volume", "key", "4"}), -2, "volume");
}

TEST_P(CtlDevice, RestartConfigAndProductionCheck) {
  CtlResult r = Run({"restart"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "restart acknowledged\n");
  r = Run({"config", "2", "1"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "global configuration 2|1 accepted\n");
  r = Run({"pqc"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "production check started\n");
  Json j = ParseJson(Run({"--json", "config", "5", "2"}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonNumber(j.get(), "first"), 5);
  EXPECT_EQ(JsonNumber(j.get(), "second"), 2);
  std::lock_guard<std::mutex> g(engine().Impl().mu);
  EXPECT_EQ(engine().Impl().state.restarts, 1);
}

TEST_P(CtlDevice, RestartConfigAndProductionCheckRefused) {
  SetFault("RESTART", {FaultKind::Refuse});
  SetFault("SETGLOBALCONFIG", {FaultKind::Refuse});
  SetFault("PQC", {FaultKind::Refuse});
  ExpectCtlError(Run({"restart"}), -7, "restart");
  ExpectCtlError(Run({"config", "2", "1"}), -7, "config");
  ExpectCtlError(Run({"pqc"}), -7, "pqc");
  CtlResult r = Run({"config", "6", "1"});
  ExpectRangeError(r, "FIRST takes 1..5, not '6'");
  ExpectRangeError(Run({"config", "1", "3"}), "SECOND takes 1..2, not '3'");
}

TEST_P(CtlDevice, RestartSilent) {
  SetFault("RESTART", {FaultKind::Silence});
  ExpectCtlError(Run({"restart"}), -2, "restart");
}

TEST_P(CtlDevice, ConfigSilent) {
  SetFault("SETGLOBALCONFIG", {FaultKind::Silence});
  ExpectCtlError(Run({"config", "1", "1"}), -2, "config");
}

TEST_P(CtlDevice, ProductionCheckSilent) {
  SetFault("PQC", {FaultKind::Silence});
  ExpectCtlError(Run({"pqc"}), -2, "pqc");
}

// The display switch is written only: the terminal cannot refuse it or keep
// silent; the library refuses a bad module, and a port that does not open
// is the failure a caller sees.
TEST_P(CtlDevice, DisplaySwitch) {
  CtlResult r = Run({"display", "evaluator", "on"});
  EXPECT_CTL_OK(r);
  EXPECT_EQ(r.out, "display of module evaluator switched on\n");
  r = Run({"display", "2", "off"});
  EXPECT_CTL_OK(r);
  Json j = ParseJson(Run({"--json", "display", "keypad", "on"}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonNumber(j.get(), "module"), 4);
  EXPECT_TRUE(cJSON_IsTrue(cJSON_GetObjectItem(j.get(), "show")));
  const std::vector<tlxsim::Received> h = Settled();
  bool evaluatorOn = false;
  for (const auto& rec : h)
    evaluatorOn = evaluatorOn || rec.bytes ==
                                     "\x1b[4;SETDISP\x02"
                                     "1\x03";
  EXPECT_TRUE(evaluatorOn);
  ExpectRangeError(Run({"display", "5", "on"}),
                   "MODULE takes pinpad (1), screen (2), evaluator (3) or keypad (4), not '5'");
  ExpectRangeError(Run({"display", "1", "2"}), "on|off takes on (1) or off (0), not '2'");
}

TEST(CtlDeviceNoTerminal, UnopenedPortIsExit13) {
  CtlRun run;
  run.args = {"--port", "3", "display", "screen", "on"};
  run.env = {{"TLX_SERIAL_PATH", "/nonexistent-tlx/tty%d"}};
  CtlResult r = RunCtl(run);
  ExpectCtlError(r, -3, "display");
}

TLX_CTL_BOTH_LINKS(CtlDevice);

}  // namespace
}  // namespace tlxtest
