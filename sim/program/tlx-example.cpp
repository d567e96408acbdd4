// A host program in its own process: asks the terminal whether it is online
// and for its version, through libtlxdev, on one port.
//   tlx-example [PORT [BP]]     PORT 0 = USB, n = serial port n (default 1)
// Run it with the environment tlx-sim prints (TLX_SERIAL_PATH, and for port 0
// LD_LIBRARY_PATH and TLX_SIM_USB_SOCKET).
#include <cstdio>
#include <cstdlib>

#include "tlxdev.h"

int main(int argc, char** argv) {
  int port = argc > 1 ? std::atoi(argv[1]) : 1;
  char bp = argc > 2 ? argv[2][0] : 0;

  char model[TLX_MODEL_SIZE] = {};
  int r = TLX_CheckOnline(port, bp, 9600, model);
  std::printf("TLX_CheckOnline(port %d) = %d, model \"%s\"\n", port, r, model);
  if (r != 0) return 1;

  char version[TLX_VERSION_SIZE] = {};
  r = TLX_GetVer(port, bp, 9600, version);
  std::printf("TLX_GetVer(port %d) = %d, version \"%s\"\n", port, r, version);
  return r == 0 ? 0 : 1;
}
