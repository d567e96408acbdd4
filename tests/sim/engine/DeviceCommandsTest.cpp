#include "EngineTestUtil.h"

namespace tlxsim {
namespace {

using DeviceCommands = EngineTest;

TEST_F(DeviceCommands, OnlineProbeAcknowledgesOnlyTheOwnModel) {
  EXPECT_EQ(Exchange("\x1b[0CHECKR40"), kAck);
  EXPECT_EQ(Exchange("\x1b[0CHECKk60"), kNak);
  engine.SetModel("k60");
  EXPECT_EQ(Exchange("\x1b[0CHECKR40"), kNak);
  EXPECT_EQ(Exchange("\x1b[0CHECKk60", Link::Hid), kAck);
}

TEST_F(DeviceCommands, VersionAndUpdateStatusAreFramedJson) {
  impl().state.versionJson = "{\"Version\":{\"app\":{\"version\":\"9.9\"}}}";
  EXPECT_EQ(Exchange("\x1b[0GETDEVICEINFO"),
            "\x02{\"Version\":{\"app\":{\"version\":\"9.9\"}}}\x03");
  impl().state.updateStatusJson = "{\"UpdateResult\":\"Fail\",\"UpdateDetail\":\"crc\"}";
  EXPECT_EQ(Exchange("\x1b[0GETUPDATESTATUS", Link::Hid),
            "\x02{\"UpdateResult\":\"Fail\",\"UpdateDetail\":\"crc\"}\x03");
}

TEST_F(DeviceCommands, VolumeRangesPerKind) {
  EXPECT_EQ(Exchange("\x1b[0SETVOLUME\x02"
                     "1|5\x03"),
            kAck);
  EXPECT_EQ(impl().state.volumeSystem, 5);
  EXPECT_EQ(Exchange("\x1b[0SETVOLUME\x02"
                     "1|6\x03"),
            kNak);
  EXPECT_EQ(impl().state.volumeSystem, 5);
  EXPECT_EQ(Exchange("\x1b[0SETVOLUME\x02"
                     "2|15\x03"),
            kAck);
  EXPECT_EQ(impl().state.volumeKeyTone, 15);
  EXPECT_EQ(Exchange("\x1b[0SETVOLUME\x02"
                     "3|0\x03"),
            kAck);
  EXPECT_EQ(impl().state.volumeMedia, 0);
  EXPECT_EQ(Exchange("\x1b[0SETVOLUME\x02"
                     "4|1\x03"),
            kNak);
  EXPECT_EQ(Exchange("\x1b[0SETVOLUME\x02"
                     "3|x\x03"),
            kNak);
  EXPECT_EQ(Exchange("\x1b[0SETVOLUME\x02"
                     "3|-1\x03"),
            kNak);
}

TEST_F(DeviceCommands, RestartConfigAndProductionCheck) {
  EXPECT_EQ(Exchange("\x1b[0RESTART"), kAck);
  EXPECT_EQ(impl().state.restarts, 1);
  EXPECT_EQ(Exchange("\x1b[0SETGLOBALCONFIG\x02"
                     "5|2\x03"),
            kAck);
  EXPECT_EQ(impl().state.globalFirst, 5);
  EXPECT_EQ(Exchange("\x1b[0SETGLOBALCONFIG\x02"
                     "6|2\x03"),
            kNak);
  EXPECT_EQ(Exchange("\x1b[0;NERIVAX_PRODUCTION_START_PQCR"), kAck);
  EXPECT_TRUE(impl().state.pqcStarted);
}

TEST_F(DeviceCommands, DisplaySwitchIsWriteOnly) {
  EXPECT_EQ(Exchange("\x1b[4;SETDISP\x02"
                     "1\x03"),
            "");
  EXPECT_EQ(impl().state.display[4], 1);
  EXPECT_EQ(Exchange("\x1b[1;SETDISP\x02"
                     "0\x03"),
            "");
  EXPECT_EQ(impl().state.display[1], 0);
  EXPECT_EQ(NextDueMs(), -1);
}

}  // namespace
}  // namespace tlxsim
