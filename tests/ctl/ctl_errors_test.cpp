// Why a command failed, as tlxctl prints it under its error line (the
// library's TLX_LastErrorText): each cause produced for real against the
// virtual terminal's links, and the library's text itself: cleared by the
// next command, kept per thread.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>

#include "CtlTest.h"

namespace tlxtest {
namespace {

class CtlErrors : public CtlTest {
 protected:
  // tlxctl with a serial path pattern of its own.
  CtlResult Serial(const std::string& pattern, std::vector<std::string> args,
                   std::vector<std::string> prefix = {}) {
    CtlRun run;
    run.args = {"--port", std::to_string(SerialPort())};
    run.args.insert(run.args.end(), args.begin(), args.end());
    run.env = {{"TLX_SERIAL_PATH", pattern}};
    run.cwd = Scratch("");
    run.prefix = std::move(prefix);
    return RunCtl(run);
  }
  // The device of the terminal's serial port.
  std::string Device() {
    std::string p = terminal().serialPathPattern();
    return p.replace(p.find("%d"), 2, std::to_string(SerialPort() - 1));
  }
};

// The second line of the error output: the cause.
std::string CauseLine(const CtlResult& r) {
  const size_t nl = r.err.find('\n');
  if (nl == std::string::npos) return "";
  const size_t end = r.err.find('\n', nl + 1);
  return r.err.substr(nl + 1, end == std::string::npos ? std::string::npos : end - nl - 1);
}

TEST_F(CtlErrors, MissingSerialDeviceNamesPathAndErrno) {
  CtlResult r = Serial(Scratch("none/tty%d"), {"online"});
  ExpectCtlError(r, -3, "online");
  EXPECT_EQ(CauseLine(r).rfind("tlxctl: online: " + Scratch("none/tty0") +
                                   ": ENOENT (No such file or directory); no such serial device",
                               0),
            0u)
      << r.err;
  Json j = ParseJson(Serial(Scratch("none/tty%d"), {"--json", "version"}).out);
  ASSERT_TRUE(j);
  EXPECT_NE(JsonString(j.get(), "cause").find(Scratch("none/tty0") + ": ENOENT"),
            std::string::npos);
  EXPECT_EQ(JsonString(j.get(), "error"), "port cannot be opened, or another command is running");
}

TEST_F(CtlErrors, SerialDeviceWithoutPermissionNamesTheGroup) {
  // A device node the user may not open. As root every file opens, so
  // tlxctl then runs as the user nobody (who cannot even look into the
  // scratch directory): the same EACCES a user outside the group gets.
  WriteFile(Scratch("tty0"), "", 0600);
  std::vector<std::string> prefix;
  if (geteuid() == 0)
    prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  else
    chmod(Scratch("tty0").c_str(), 0);
  CtlResult r = Serial(Scratch("tty%d"), {"online"}, prefix);
  ExpectCtlError(r, -3, "online");
  const std::string cause = CauseLine(r);
  EXPECT_EQ(cause.rfind("tlxctl: online: " + Scratch("tty0") +
                            ": EACCES (Permission denied); "
                            "the user needs to be in the group '",
                        0),
            0u)
      << r.err;
  EXPECT_NE(cause.find("sudo adduser $USER"), std::string::npos) << cause;
}

TEST_F(CtlErrors, FileThatIsNoSerialLine) {
  WriteFile(Scratch("plain0"), "", 0600);
  CtlResult r = Serial(Scratch("plain%d"), {"online"});
  ExpectCtlError(r, -3, "online");
  EXPECT_NE(CauseLine(r).find(Scratch("plain0") + ": ENOTTY"), std::string::npos) << r.err;
  EXPECT_NE(CauseLine(r).find("not a serial line"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(Scratch("plain0")), "") << "nothing written to it";
}

TEST_F(CtlErrors, LineHeldByAnotherProcess) {
  // This process holds the lock the library takes on its line.
  const int fd = ::open(Device().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  CtlResult r = Serial(terminal().serialPathPattern(), {"online"});
  ExpectCtlError(r, -3, "online");
  EXPECT_EQ(
      CauseLine(r).rfind(
          "tlxctl: online: " + Device() + ": EWOULDBLOCK (locked); held by another process", 0),
      0u)
      << r.err;
  ::close(fd);
  EXPECT_CTL_OK(Serial(terminal().serialPathPattern(), {"online"}));
}

TEST_F(CtlErrors, SilentTerminalNamesLinkAndTimeLimit) {
  SetFault("GETDEVICEINFO", {FaultKind::Silence});
  CtlResult r = Serial(terminal().serialPathPattern(), {"version"});
  ExpectCtlError(r, -2, "version");
  EXPECT_EQ(CauseLine(r), "tlxctl: version: " + Device() +
                              ": no complete reply within 2000 ms (is a terminal on this port, at "
                              "this rate and channel? tlxctl probe finds it)")
      << r.err;
  // A refusal has no system-level cause: no second line.
  SetFault("GETDEVICEINFO", {FaultKind::Refuse});
  r = Serial(terminal().serialPathPattern(), {"version"});
  ExpectCtlError(r, -7, "version");
  EXPECT_EQ(r.err, "tlxctl: version: error -7: unexpected or refused reply\n");
}

class CtlErrorsNoUsb : public CtlErrors {
 protected:
  CtlErrorsNoUsb() { options_.hid = false; }
};

TEST_F(CtlErrorsNoUsb, NoUsbTerminalNamesTheIdentities) {
  CtlResult r = Ctl(Link::Hid, {"online"});
  ExpectCtlError(r, -3, "online");
  EXPECT_EQ(CauseLine(r),
            "tlxctl: online: USB: no terminal found: none of the USB identities 2fb0:0101, "
            "2fb0:0102, 0483:5750 is present (lsusb lists the devices)")
      << r.err;
}

// The library's text in this process: set by a failure, cleared by the
// next command, and the calling thread's own.
TEST_F(CtlErrors, LastErrorTextIsPerThreadAndClearedByTheNextCommand) {
  EXPECT_STREQ(TLX_LastErrorText(), "");
  setenv("TLX_SERIAL_PATH", Scratch("gone%d").c_str(), 1);
  char model[TLX_MODEL_SIZE] = {0};
  EXPECT_EQ(TLX_CheckOnline(SerialPort(), 0, 9600, model), TLX_ERR_OPEN);
  const std::string text = TLX_LastErrorText();
  EXPECT_EQ(text.rfind(Scratch("gone" + std::to_string(SerialPort() - 1)) + ": ENOENT", 0), 0u)
      << text;

  std::string other = "unset";
  std::thread([&] { other = TLX_LastErrorText(); }).join();
  EXPECT_EQ(other, "") << "another thread has its own text";

  // An argument error has no system-level cause: the text is empty again.
  EXPECT_EQ(TLX_SetPinLen(SerialPort(), 0, 9600, 99), TLX_ERR_ARG);
  EXPECT_STREQ(TLX_LastErrorText(), "");
  EXPECT_EQ(TLX_CheckOnline(SerialPort(), 0, 9600, model), TLX_ERR_OPEN);
  EXPECT_STRNE(TLX_LastErrorText(), "");
  setenv("TLX_SERIAL_PATH", terminal().serialPathPattern().c_str(), 1);
  EXPECT_EQ(TLX_CheckOnline(SerialPort(), 0, 9600, model), TLX_OK);
  EXPECT_STREQ(TLX_LastErrorText(), "");
}

}  // namespace
}  // namespace tlxtest
