// tlxctl probe against the virtual terminal: it finds the serial line and
// the USB identity, reports what is missing, says which devices it tried
// and writes nothing but the online check, and only to terminal lines.
#include "CtlTest.h"

namespace tlxtest {
namespace {

class CtlProbe : public CtlTest {
 protected:
  std::string Pattern() { return terminal().serialPathPattern(); }
  std::string Device(int k) {
    std::string p = Pattern();
    return p.replace(p.find("%d"), 2, std::to_string(k));
  }
  CtlResult Probe(std::vector<std::string> args) {
    CtlRun run;
    run.args = {"probe"};
    run.args.insert(run.args.end(), args.begin(), args.end());
    run.cwd = Scratch("");
    return RunCtl(run);
  }
  // Every command the terminal received is an online check.
  void ExpectOnlyOnlineChecks() {
    for (const auto& rec : Settled())
      EXPECT_TRUE(rec.bytes == "\x1b[0CHECKR40" || rec.bytes == "\x1b[0CHECKk60")
          << "the probe wrote " << rec.bytes;
  }
};

TEST_F(CtlProbe, FindsTheSerialLineAndTheUsbIdentity) {
  CtlResult r = Probe({"--ports", Pattern(), "--count", "2"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("serial devices tried (rates 9600 115200 1200; channels none):"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(Device(0)), std::string::npos);
  EXPECT_NE(r.out.find("answers at 9600 baud, channel none: model R40"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("address: TLX_SERIAL_PATH='" + Pattern() +
                       "' tlxctl --port 1 --baud 9600 --bp none"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(Device(1)), std::string::npos) << "the second device is tried too";
  EXPECT_NE(r.out.find("2fb0:0101  present"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2fb0:0102  absent"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("answers: model R40; address: tlxctl --port 0"), std::string::npos) << r.out;
  ExpectOnlyOnlineChecks();

  Json j = ParseJson(Probe({"--json", "--ports", Pattern(), "--count", "2"}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonNumber(j.get(), "found"), 2);
  const cJSON* serial = cJSON_GetObjectItem(j.get(), "serial");
  ASSERT_EQ(cJSON_GetArraySize(serial), 2);
  EXPECT_EQ(JsonString(cJSON_GetArrayItem(serial, 0), "state"), "answers");
  EXPECT_EQ(JsonNumber(cJSON_GetArrayItem(serial, 0), "port"), 1);
  EXPECT_EQ(JsonString(cJSON_GetArrayItem(serial, 1), "state"), "absent");
  const cJSON* usb = cJSON_GetObjectItem(j.get(), "usb");
  EXPECT_EQ(JsonString(usb, "state"), "answers");
  EXPECT_EQ(JsonString(usb, "model"), "R40");
}

TEST_F(CtlProbe, NothingFoundIsExit3AndNamesEveryDevice) {
  CtlResult r = Probe({"--ports", "/nonexistent-tlx/tty%d", "--no-usb"});
  EXPECT_EQ(r.status, 3);
  for (int k = 0; k < 8; ++k)
    EXPECT_NE(r.out.find("/nonexistent-tlx/tty" + std::to_string(k) + " "), std::string::npos)
        << r.out;
  EXPECT_NE(r.out.find("no terminal found"), std::string::npos);
  EXPECT_TRUE(Settled().empty());
}

TEST_F(CtlProbe, OtherDevicesAreNotWrittenTo) {
  WriteFile(Scratch("plain0"), "");
  CtlResult r = Probe({"--ports", Scratch("plain0"), "--ports", "/dev/null", "--no-usb"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.out.find("not tried: not a character device"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("/dev/null"), std::string::npos);
  EXPECT_NE(r.out.find("not tried: not a terminal line"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(Scratch("plain0")), "");
}

TEST_F(CtlProbe, ListNamesTheDefaultDevicesAndOpensNothing) {
  CtlResult r = Probe({"--list"});
  EXPECT_EQ(r.status, 0);
  for (int k = 0; k < 8; ++k) {
    EXPECT_NE(r.out.find("  /dev/ttyS" + std::to_string(k) + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  /dev/ttyUSB" + std::to_string(k) + "\n"), std::string::npos);
    EXPECT_NE(r.out.find("  " + Device(k) + "\n"), std::string::npos)
        << "TLX_SERIAL_PATH's devices";
  }
  EXPECT_TRUE(Settled().empty());
}

TEST_F(CtlProbe, SilentLineIsReportedWithWhatWasTried) {
  SetFault("CHECKR40", {FaultKind::Silence});
  SetFault("CHECKk60", {FaultKind::Silence});
  CtlResult r = Probe({"--ports", Device(0), "--rates", "9600", "--no-usb"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.out.find("no answer at 9600/none (last: -2 no complete reply in time)"),
            std::string::npos)
      << r.out;
}

TEST_F(CtlProbe, ChannelOfAPortSharingUnit) {
  {
    std::lock_guard<std::mutex> g(engine().Impl().mu);
    engine().Impl().state.terminalChannel = 'B';
  }
  CtlResult r = Probe({"--ports", Device(0), "--rates", "9600", "--letters", "none,B", "--no-usb"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("answers at 9600 baud, channel B: model R40"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("--bp B"), std::string::npos);
  EXPECT_EQ(r.out.find("channel none: model"), std::string::npos) << r.out;
}

class CtlProbeNoUsb : public CtlProbe {
 protected:
  CtlProbeNoUsb() {
    options_.hid = false;
    options_.model = "k60";
  }
};

TEST_F(CtlProbeNoUsb, ReportsTheMissingUsbIdentity) {
  CtlResult r = Probe({"--ports", Device(0)});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("answers at 9600 baud, channel none: model k60"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("no USB identity of the terminal is present"), std::string::npos) << r.out;
  Json j = ParseJson(Probe({"--json", "--ports", Device(0)}).out);
  ASSERT_TRUE(j);
  EXPECT_EQ(JsonString(cJSON_GetObjectItem(j.get(), "usb"), "state"), "absent");
  EXPECT_EQ(JsonNumber(j.get(), "found"), 1);
  // USB alone finds nothing.
  EXPECT_EQ(Probe({"--no-serial"}).status, 3);
}

}  // namespace
}  // namespace tlxtest
