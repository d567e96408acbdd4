// Figures through a real kernel (./tlx bench --kernel, run in the test
// guest): the library's command times on the guest's UART and on the
// virtual terminal's USB gadget beside bare round trips of the same command
// in the same guest, below the library: written and read on the tty opened
// once, and as a bulk OUT report and bulk IN transfer through the real
// libusb on the device opened and claimed once.
#ifndef TLX_BENCH_KERNEL_H
#define TLX_BENCH_KERNEL_H

#include <cstdint>
#include <string>

#include "VirtualTerminal.h"
#include "bench_stats.h"

namespace tlxbench {

// n round trips of cmd on the tty `device` (raw, 115200), answered up to ETX.
Spread BareTtyRoundTrips(const std::string& device, const std::string& cmd, int n);
// n round trips of cmd as a 1024-byte OUT report and IN transfers up to ETX.
Spread BareUsbRoundTrips(uint16_t vendorId, uint16_t productId, const std::string& cmd, int n);
// The figures against the started terminal; 1 when it is not on a real
// line and a gadget.
int RunKernel(tlxsim::VirtualTerminal& vt, int rounds);

}  // namespace tlxbench

#endif
